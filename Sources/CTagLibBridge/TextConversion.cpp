#include "BridgeInternal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace ctaglib {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence starting at bytes[i]. Returns its length, or 0
// when the sequence is malformed (then nothing is stored in cp).
size_t decodeUtf8(std::string_view bytes, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0; // continuation byte, overlong two-byte lead (C0, C1) or F5..FF
    }
    if (bytes.size() - i < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    cp = value;
    return length;
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp;
        const size_t length = decodeUtf8(bytes, i, cp);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string toUtf8(const TagLib::String& text) {
    std::string out;
    out.reserve(text.size());
    const std::wstring& units = text.toWString();
    for (size_t i = 0; i < units.size(); ++i) {
        const auto unit = static_cast<char32_t>(units[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
            const auto next = static_cast<char32_t>(units[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        const bool lone = unit >= 0xD800 && unit <= 0xDFFF;
        appendUtf8(out, lone || unit > 0x10FFFF ? kReplacement : unit);
    }
    return out;
}

char* duplicate(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

char* stringToC(const TagLib::String& text) {
    if (text.isEmpty())
        return nullptr;
    if (text.isLatin1()) {
        std::string latin1;
        latin1.reserve(text.size());
        for (const wchar_t unit : text.toWString())
            latin1 += static_cast<char>(static_cast<unsigned char>(unit));
        const bool hasMultiByte = std::any_of(latin1.begin(), latin1.end(),
                                              [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (hasMultiByte && isValidUtf8(latin1))
            return duplicate(latin1.c_str());
    }
    return duplicate(toUtf8(text).c_str());
}

TagLib::String latin1Approximation(const TagLib::String& text) {
    if (text.isLatin1())
        return text;
    const std::string utf8 = toUtf8(text);
    icu::UnicodeString approximated = icu::UnicodeString::fromUTF8(utf8);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::Transliterator> toLatin(
        icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    if (U_SUCCESS(status))
        toLatin->transliterate(approximated);
    // Whatever still lies outside Latin-1 (a symbol, an unpaired surrogate) becomes "?".
    TagLib::String result;
    for (int32_t i = 0; i < approximated.length();) {
        const UChar32 cp = approximated.char32At(i);
        result += static_cast<wchar_t>(cp <= 0xFF ? cp : '?');
        i += U16_LENGTH(cp);
    }
    return result;
}

TagLib::String stringFromUtf8(const char* utf8) {
    if (!utf8 || !*utf8)
        return {};
    const std::string_view bytes(utf8);
    if (isValidUtf8(bytes))
        return TagLib::String(utf8, TagLib::String::UTF8);
    std::string repaired;
    repaired.reserve(bytes.size() + 8);
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp;
        const size_t length = decodeUtf8(bytes, i, cp);
        if (length == 0) {
            appendUtf8(repaired, kReplacement);
            ++i;
        } else {
            repaired.append(bytes.substr(i, length));
            i += length;
        }
    }
    return TagLib::String(repaired, TagLib::String::UTF8);
}

int parseLeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Unlike atoi(), which is undefined here, an out-of-range number reads as 0;
    // the negative side has room for one more than the positive side.
    const std::int64_t limit = std::int64_t(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            return 0;
    }
    return static_cast<int>(negative ? -value : value);
}

Fraction parseFraction(const TagLib::String& text) {
    const std::string utf8 = toUtf8(text);
    const std::string_view view(utf8);
    const size_t slash = view.find('/');
    if (slash == std::string_view::npos)
        return {parseLeadingInteger(view), 0, text.stripWhiteSpace(), {}};
    return {parseLeadingInteger(view.substr(0, slash)), parseLeadingInteger(view.substr(slash + 1)),
            text.substr(0, static_cast<unsigned int>(text.find("/"))).stripWhiteSpace(),
            text.substr(static_cast<unsigned int>(text.find("/")) + 1).stripWhiteSpace()};
}

TagLib::String joinValues(const TagLib::StringList& values) {
    TagLib::String joined;
    for (const TagLib::String& value : values) {
        if (value.isEmpty())
            continue;
        if (!joined.isEmpty())
            joined += CTAGLIB_VALUE_SEPARATOR;
        joined += value;
    }
    return joined;
}

TagLib::StringList splitValues(const TagLib::String& text) {
    TagLib::StringList values;
    const TagLib::String separator(CTAGLIB_VALUE_SEPARATOR);
    for (int from = 0; from < static_cast<int>(text.size());) {
        int at = text.find(separator, from);
        if (at < 0)
            at = static_cast<int>(text.size());
        const TagLib::String value = text.substr(from, at - from);
        if (!value.isEmpty())
            values.append(value);
        from = at + static_cast<int>(separator.size());
    }
    return values;
}

std::optional<int> plainNumber(const TagLib::String& text) {
    const std::string digits = toUtf8(text.stripWhiteSpace());
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(digits);
}

} // namespace ctaglib
