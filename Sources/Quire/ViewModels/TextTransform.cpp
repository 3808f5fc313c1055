#include "Quire/ViewModels/TextTransform.h"

#include "QuireCore/RawValue.h"

#include <QCoreApplication>
#include <algorithm>

#include "Platform/IcuText.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace {

using Platform::fromIcu;
using Platform::toIcu;

// The root locale keeps the mappings the same for every user (no Turkish dotted I).
const icu::Locale& mappingLocale() {
    return icu::Locale::getRoot();
}

QString titleCased(const QString& text) {
    const icu::UnicodeString source = toIcu(text);
    const int32_t length = source.length();
    icu::UnicodeString result;
    int32_t index = 0;
    while (index < length) {
        if (u_isUWhiteSpace(source.char32At(index))) {
            const int32_t next = source.moveIndex32(index, 1);
            result.append(source, index, next - index);
            index = next;
            continue;
        }
        int32_t end = index;
        while (end < length && !u_isUWhiteSpace(source.char32At(end)))
            end = source.moveIndex32(end, 1);
        // Title-case mapping of the word's first character (so "ǆ" becomes
        // "ǅ"), full lower-case mapping of the rest; no adjustment past
        // leading punctuation, so the first character is the one capitalised.
        icu::UnicodeString word(source, index, end - index);
        word.toTitle(nullptr, mappingLocale(), U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT);
        result.append(word);
        index = end;
    }
    return fromIcu(result);
}

bool isBlank(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimmedBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

QString swappedArtistTitle(const QString& text) {
    const qsizetype hyphen = text.indexOf(u'-');
    if (hyphen < 0)
        return text;
    // Empty parts are dropped before trimming, as the rule is written.
    QStringList parts;
    for (const QString& part : {text.left(hyphen), text.mid(hyphen + 1)}) {
        if (!part.isEmpty())
            parts.append(trimmedBlanks(part));
    }
    if (parts.size() != 2)
        return text;
    return parts[1] + QStringLiteral(" - ") + parts[0];
}

} // namespace

QString rawValue(TextTransform transform) {
    switch (transform) {
    case TextTransform::titleCase:
        return QStringLiteral("titleCase");
    case TextTransform::upperCase:
        return QStringLiteral("upperCase");
    case TextTransform::lowerCase:
        return QStringLiteral("lowerCase");
    case TextTransform::swapArtistTitle:
        return QStringLiteral("swapArtistTitle");
    }
    Q_UNREACHABLE();
}

std::optional<TextTransform> textTransformFromRawValue(QStringView raw) {
    return caseWithRawValue(allTextTransforms, raw);
}

QString label(TextTransform transform) {
    switch (transform) {
    case TextTransform::titleCase:
        return QCoreApplication::translate("TextTransform", "Title Case");
    case TextTransform::upperCase:
        return QCoreApplication::translate("TextTransform", "UPPER CASE");
    case TextTransform::lowerCase:
        return QCoreApplication::translate("TextTransform", "lower case");
    case TextTransform::swapArtistTitle:
        return QCoreApplication::translate("TextTransform", "Swap Artist – Title");
    }
    Q_UNREACHABLE();
}

QString apply(TextTransform transform, const QString& text) {
    switch (transform) {
    case TextTransform::titleCase:
        return titleCased(text);
    case TextTransform::upperCase: {
        icu::UnicodeString mapped = toIcu(text);
        return fromIcu(mapped.toUpper(mappingLocale()));
    }
    case TextTransform::lowerCase: {
        icu::UnicodeString mapped = toIcu(text);
        return fromIcu(mapped.toLower(mappingLocale()));
    }
    case TextTransform::swapArtistTitle:
        return swappedArtistTitle(text);
    }
    Q_UNREACHABLE();
}

QList<TagField> textTagFields() {
    QList<TagField> fields;
    for (TagField field : allTagFields) {
        const FieldComponent kind = component(field);
        if (kind == FieldComponent::text || kind == FieldComponent::multiline)
            fields.append(field);
    }
    return fields;
}

QList<FieldKey> chosenTextFields(const FieldKeySet& chosen) {
    QList<FieldKey> fields;
    for (TagField field : textTagFields()) {
        if (chosen.contains(field))
            fields.append(field);
    }
    QList<FieldKey> custom;
    for (const FieldKey& key : chosen) {
        if (key.isCustom())
            custom.append(key);
    }
    std::sort(custom.begin(), custom.end(),
              [](const FieldKey& a, const FieldKey& b) { return a.customName() < b.customName(); });
    return fields + custom;
}
