#pragma once

// The tag helper: this program started again with the helper flag
// (TagWorker::flag), serving read and write requests and picture decoding
// (TagWorkerProtocol.h) on its standard input and output until the input
// ends. Every main() calls this first thing, before any Qt object exists; in a
// helper it never returns. Only programs linked with this library parse tags.
void runTagWorkerIfRequested(int argc, char** argv);
