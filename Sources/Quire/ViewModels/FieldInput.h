#pragma once

#include "QuireCore/Result.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <optional>

// One field's new value: absent clears it.
struct FieldEdit {
    FieldKey field;
    std::optional<QString> value;
    bool operator==(const FieldEdit&) const = default;
};

// What a user typed for a field, checked before anything changes, so that
// text the model would turn into no value never clears a field unseen:
// - numbers: a whole number from 0 to 2147483647 (surrounding blanks ignored);
//   a track or disc number may come with its total, "3/12";
// - year: a year or an ISO date, kept as typed: "1973", "1973-03",
//   "1973-03-01" or "1973-03-01T10:30";
// - compilation: true, false, yes, no, 1 or 0, in any capitalisation;
// - text and custom items: anything; "; " separates several values.
// Empty text clears the field. The error names the field and the accepted forms.
Result<QList<FieldEdit>, QString> parseFieldInput(const FieldKey& key, const QString& text);
