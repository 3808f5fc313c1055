// The bridge's text conversion and fraction rule on TagLib strings made from
// arbitrary bytes in each of TagLib's encodings. Input: one byte choosing the
// encoding, then the bytes of the text.
#include "BridgeInternal.h"

#include <tbytevector.h>
#include <utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// The expected UTF-8 form of TagLib's UTF-16 code units: pairs combine, a lone
// surrogate becomes U+FFFD.
std::string expectedUtf8(const std::wstring& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        auto unit = static_cast<uint32_t>(units[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
            const auto next = static_cast<uint32_t>(units[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                utf8::append(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), std::back_inserter(out));
                ++i;
                continue;
            }
        }
        if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF)
            unit = 0xFFFD;
        utf8::append(unit, std::back_inserter(out));
    }
    return out;
}

bool hasLoneSurrogate(const std::wstring& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        const auto unit = static_cast<uint32_t>(units[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

// What the bridge promises for one part of a fraction: atoi() reading, 0 for
// no digits or a value outside the 32-bit range.
int expectedInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) && text[i] != '\0')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{1} << 32)
            return 0;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(value);
}

using CString = std::unique_ptr<char, decltype(&std::free)>;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static constexpr TagLib::String::Type types[] = {TagLib::String::Latin1, TagLib::String::UTF8,
                                                     TagLib::String::UTF16, TagLib::String::UTF16BE,
                                                     TagLib::String::UTF16LE};
    const TagLib::String::Type type = types[data[0] % 5];
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    // The validator agrees with an independent one.
    require(ctaglib::isValidUtf8(bytes) == utf8::is_valid(bytes.begin(), bytes.end()),
            "isValidUtf8 disagrees with utf8::is_valid");

    const TagLib::String text(TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())), type);
    const std::wstring units = text.toWString();

    const std::string utf8 = ctaglib::toUtf8(text);
    require(utf8 == expectedUtf8(units), "toUtf8 differs from the expected UTF-8");

    // stringToC: null exactly for empty text, otherwise valid UTF-8, and the
    // Latin-1 bytes themselves when they are UTF-8 under a Latin-1 label.
    const CString c(ctaglib::stringToC(text), &std::free);
    require(!c == text.isEmpty(), "stringToC returns null for non-empty text or text for empty");
    if (c) {
        const std::string out(c.get());
        require(utf8::is_valid(out.begin(), out.end()), "stringToC returns invalid UTF-8");
        std::string latin1;
        bool isLatin1 = true;
        for (const wchar_t unit : units) {
            isLatin1 = isLatin1 && static_cast<uint32_t>(unit) <= 0xFF;
            latin1 += static_cast<char>(static_cast<unsigned char>(unit));
        }
        const bool hasHighByte = std::any_of(latin1.begin(), latin1.end(),
                                             [](char b) { return static_cast<unsigned char>(b) >= 0x80; });
        const bool repaired = isLatin1 && hasHighByte && utf8::is_valid(latin1.begin(), latin1.end());
        const std::string expected = repaired ? latin1 : utf8;
        // The C record ends at the first NUL.
        require(out == expected.substr(0, expected.find('\0')), "stringToC differs from the expected text");

        // Text the bridge hands out comes back unchanged when written.
        if (!repaired && !hasLoneSurrogate(units) && expected.find('\0') == std::string::npos)
            require(ctaglib::stringFromUtf8(out.c_str()) == text, "stringFromUtf8(stringToC(text)) != text");
    }

    // stringFromUtf8 on arbitrary caller bytes: valid text, unchanged when valid.
    const std::string callerText = bytes.substr(0, bytes.find('\0'));
    const std::string back = ctaglib::toUtf8(ctaglib::stringFromUtf8(callerText.c_str()));
    require(utf8::is_valid(back.begin(), back.end()), "stringFromUtf8 gives invalid text");
    if (utf8::is_valid(callerText.begin(), callerText.end()))
        require(back == callerText, "stringFromUtf8 changes valid UTF-8");

    // The fraction rule: "n/total", each part read like atoi().
    const ctaglib::Fraction fraction = ctaglib::parseFraction(text);
    const size_t slash = utf8.find('/');
    require(fraction.number == expectedInteger(utf8.substr(0, slash)), "fraction number differs");
    require(fraction.total == (slash == std::string::npos ? 0 : expectedInteger(utf8.substr(slash + 1))),
            "fraction total differs");

    // Several values: split at the separator into non-empty values without it,
    // which join and split again to the same values.
    const TagLib::String separator(CTAGLIB_VALUE_SEPARATOR);
    const TagLib::StringList values = ctaglib::splitValues(text);
    for (const TagLib::String& value : values)
        require(!value.isEmpty() && value.find(separator) < 0, "splitValues gives an empty or unsplit value");
    require(ctaglib::splitValues(ctaglib::joinValues(values)) == values, "split(join(values)) != values");
    return 0;
}
