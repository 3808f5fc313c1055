#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/IcuRegex.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The patterns of the batch operations: rename patterns expand tag values into
// a file name ("{track} - {title}"), file-name patterns become anchored
// expressions whose groups pick values out of a name ("{trackNumber} - {title}"),
// and path patterns compare tokens with whole folder names ("{artist}/{album}").
//
// Everything here is a pure function of its arguments and accepts any input.

// One value picked out of a name or a path for a field.
struct ExtractedValue {
    FieldKey field;
    QString value;
    bool operator==(const ExtractedValue&) const = default;
};

// The new file name (last path component, extension included) for one file.
// The rename tokens, replaced in this order, each over the text the previous
// one produced: {title} {artist} {album} {albumArtist} {composer} {genre}
// {grouping} {year} {track} {trackTotal}; absent values become empty text.
// {track} is zero-padded to the width of the track total's decimal form (2
// without a total). The file's extension is appended unless the text already
// ends with "." and that extension (case-sensitive). Field tokens such as
// {trackNumber} are not rename tokens and stay as they are.
//
// A value never makes a folder: "/" and the characters other systems refuse in
// names (\ : * ? " < > |, control characters) are replaced by "_" in values.
// Only a "/" written in the pattern means a folder.
//
// Tag values can hold tokens that expand again; should the text grow beyond
// maximumExpandedLength on the way, the result is empty text (no file name is
// that long).
QString expandPattern(const QString& pattern, const AudioFile& file);
// The rename tokens above, in that order.
QStringList renamePlaceholders();
// Whether the pattern holds rename tokens and every one of them is empty for
// the file: renaming it would give a name of separators only (" - .flac").
bool renamesToEmptyValues(const QString& pattern, const AudioFile& file);
// Whether an expanded name can be given to a file: every "/"-separated part is
// non-empty and none starts with "." (no hidden names, no "..").
bool isUsableExpandedName(const QString& name);
// The name a rename from the pattern gives the file: its expansion, or none
// when the file keeps its name (no values for the pattern, or a name that
// cannot be given: hidden, empty, or holding a character that file names
// cannot, which only the pattern's own text can bring in).
std::optional<QString> renamedName(const QString& pattern, const AudioFile& file);
// The tokens of the listed fields in name and path patterns ("{title}"), with
// percentForms also "%title%".
QStringList fieldPlaceholders(const QList<FieldKey>& fields, bool percentForms);
// The custom items a pattern names, as "{CATALOGNUMBER}": a token of capital
// letters, digits and "_" that names none of the sixteen fields.
QList<FieldKey> customFieldsIn(const QString& pattern);
// The first placeholder of the pattern ("{word}" or "%word%") that is not
// among the known ones, so that a misspelt one is caught before anything runs
// instead of ending up in a name or matching nothing.
std::optional<QString> unknownPlaceholder(const QString& pattern, const QStringList& known);
inline constexpr qsizetype maximumExpandedLength = 1 << 20;

// A file-name pattern compiled into "^...$" with every token of a listed field
// ("{title}", brace form only) turned into a lazy group and everything else
// matched literally and case-sensitively.
struct PatternExpression {
    IcuRegex regex;
    // The field of each capture group, group 1 first: the listed tokens in
    // their order of appearance in the pattern.
    QList<FieldKey> groupFields;
};

// None only when the expression does not compile.
std::optional<PatternExpression> patternToRegex(const QString& pattern, const QList<FieldKey>& fields);

// The values the expression picks out of the whole name, one per group in
// group order; none when the name does not match (or the match runs out of
// time).
std::optional<QList<ExtractedValue>> valuesFromName(const PatternExpression& expression, const QString& name);

// The non-empty components of a slash-separated path or path pattern.
QStringList pathComponents(const QString& path);

// A folder-path pattern: each component (outermost first) with the listed
// field it names, as "{artist}" or "%artist%"; other components match any
// folder and store nothing.
struct PathPattern {
    QList<std::optional<FieldKey>> components;
    // No more folders are examined than fields were chosen.
    qsizetype depthLimit = 0;
};

PathPattern parsePathPattern(const QString& pattern, const QList<FieldKey>& fields);

// The folder names of the file's path that the pattern assigns to fields,
// aligning the pattern's last component with the folder that holds the file.
QList<ExtractedValue> valuesFromPath(const PathPattern& pattern, const QString& filePath);
