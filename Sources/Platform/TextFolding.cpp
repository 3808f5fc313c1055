#include "Platform/TextFolding.h"
#include "Platform/IcuText.h"

#include <algorithm>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace Platform {

std::optional<QString> foldedCaseAndMarks(QStringView text) {
    // Most tags and names are ASCII, where folding is lowering and there is nothing to decompose: a filter
    // over a large library folds every value of every file.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toString().toLower();
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status))
        return std::nullopt;
    // Canonical caseless form NFD(fold(NFD(x))), so composed and decomposed spellings fold alike.
    icu::UnicodeString folded = nfd->normalize(toIcu(text), status).foldCase(U_FOLD_CASE_DEFAULT);
    const icu::UnicodeString decomposed = nfd->normalize(folded, status);
    if (U_FAILURE(status))
        return std::nullopt;
    icu::UnicodeString result;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            result.append(c);
        i += U16_LENGTH(c);
    }
    return fromIcu(result);
}

} // namespace Platform
