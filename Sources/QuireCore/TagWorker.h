#pragma once

// What the editor's side knows of the tag helper: the program started again
// with a special first argument (see QuireTagHelper/TagHelper.h, whose
// runTagWorkerIfRequested every main() calls first thing).
namespace TagWorker {

// The first argument that makes the program a helper; the second is the
// process id of the parent that started it.
inline constexpr const char* flag = "--cadenza-tag-helper";

// Whether runTagWorkerIfRequested ran in this process, so the program can
// start itself as a helper. installEntry is its record of having run.
bool entryInstalled();
void installEntry();

// Tests only: CADENZA_TEST_TAG_HELPER_FAULTS="crash=A;hang=B;alloc=C" makes a
// helper abort, hang, or allocate without bound on any read or write whose
// path contains the text given for that fault; "picture-crash=D",
// "picture-hang=E" and "picture-alloc=F" do the same on picture decoding whose
// bytes (or, for an image file, whose path) contain the text.
inline constexpr const char* faultVariable = "CADENZA_TEST_TAG_HELPER_FAULTS";
// Tests only: milliseconds a helper waits before it says it is ready.
inline constexpr const char* startDelayVariable = "CADENZA_TEST_TAG_HELPER_START_DELAY_MS";

} // namespace TagWorker
