#pragma once

#include "QuireCore/TagField.h"
#include "QuireCore/TagSet.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringView>
#include <array>
#include <optional>

// The fixed rewrites of the text-transform operation, in the order offered.
enum class TextTransform { titleCase, upperCase, lowerCase, swapArtistTitle };

inline constexpr std::array<TextTransform, 4> allTextTransforms = {
    TextTransform::titleCase, TextTransform::upperCase, TextTransform::lowerCase,
    TextTransform::swapArtistTitle};

QString rawValue(TextTransform transform);
std::optional<TextTransform> textTransformFromRawValue(QStringView raw);
// "Title Case", "UPPER CASE", "lower case", "Swap Artist – Title".
QString label(TextTransform transform);
// The transformed text (pure). Case mappings are Unicode's full mappings,
// independent of the user's locale ("ß" upper-cases to "SS"). Title case
// capitalises the first character of every white-space-separated word and
// lower-cases the rest of it. The swap splits at the first hyphen-minus only.
QString apply(TextTransform transform, const QString& text);

// The fields find-and-replace and the text transforms offer: those edited as
// text or multiline text, in declaration order.
QList<TagField> textTagFields();
// The text fields and custom items that are in `chosen`: the fields in
// declaration order, then the custom items by name (what the sheets pass to
// the operations).
QList<FieldKey> chosenTextFields(const FieldKeySet& chosen);
