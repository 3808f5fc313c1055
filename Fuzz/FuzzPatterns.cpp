// The pattern functions on arbitrary patterns, paths and tag values. Input:
// UTF-8 parts separated by NUL bytes: the pattern, the file's path, the listed
// fields (comma-separated raw names; none listed means all), then the values
// of title, artist, album, albumArtist, composer, genre, grouping, year,
// trackNumber and trackTotal.
#include "Platform/FileSystem.h"
#include "Quire/ViewModels/BatchPreview.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "QuireCore/AudioFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

// The characters "." does not match in an ICU expression.
bool isLineTerminator(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString withoutLineTerminators(QString text) {
    text.removeIf(isLineTerminator);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> parts =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split('\0');
    const auto part = [&](qsizetype i) { return i < parts.size() ? QString::fromUtf8(parts[i]) : QString(); };
    const QString pattern = part(0);
    const QString path = u'/' + part(1);

    // Any name that can name an item: the sixteen fields and custom items alike.
    QList<FieldKey> fields;
    for (const QString& name : part(2).split(u',', Qt::SkipEmptyParts)) {
        if (const std::optional<FieldKey> field = FieldKey::fromName(name); field && !fields.contains(*field))
            fields.append(*field);
    }
    if (fields.isEmpty())
        fields = QList<FieldKey>(allTagFields.begin(), allTagFields.end());

    constexpr TagField valueFields[] = {
        TagField::title, TagField::artist,   TagField::album, TagField::albumArtist, TagField::composer,
        TagField::genre, TagField::grouping, TagField::year,  TagField::trackNumber, TagField::trackTotal};
    TagSet tags;
    QStringList values;
    for (qsizetype i = 0; i < qsizetype(std::size(valueFields)) && 3 + i < parts.size(); ++i) {
        values.append(part(3 + i));
        tags.setValue(values.last(), valueFields[i]);
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const AudioFile file(QUuid(), url, AudioFormat::mp3, std::nullopt, {}, tags, {});

    // Rename patterns: bounded output that ends with the file's extension.
    const QString expanded = expandPattern(pattern, file);
    const QString extension = Platform::pathExtension(url);
    require(expanded.size() <= maximumExpandedLength + extension.size() + 1, "expanded name too long");
    if (!expanded.isEmpty() && !extension.isEmpty())
        require(expanded.endsWith(u'.' + extension), "expanded name lacks the extension");
    if (!pattern.contains(u'{'))
        require(expanded == pattern || expanded == pattern + u'.' + extension, "text without tokens changed");
    if (!expanded.isEmpty())
        require(expanded.count(u'/') == pattern.count(u'/'), "a tag value made a folder");
    const QList<PatternRenameReport::File> plan = planPatternRename({file}, pattern);
    // The plan moves the file only to a name the rename gives it (the disk may refuse others).
    const QString renamed = renamedName(pattern, file).value_or(file.filename());
    require(plan.size() == 1, "the plan lost the file");
    if (plan[0].outcome == PatternRenameReport::Outcome::moved)
        require(renamed != file.filename() && renamed == plan[0].newName, "the plan differs from the rename");
    require(renamed == file.filename() || renamed == expanded,
            "a rename gives a name other than the expansion");

    // File-name patterns always compile, and a name made by putting values in
    // place of the tokens matches (or runs out of time).
    const std::optional<PatternExpression> expression = patternToRegex(pattern, fields);
    require(expression.has_value(), "pattern does not compile");
    QString name;
    qsizetype tokens = 0;
    QString lastValue;
    for (qsizetype i = 0; i < pattern.size();) {
        qsizetype length = 0;
        for (const FieldKey& field : fields) {
            const QString token = u'{' + field.name() + u'}';
            if (QStringView(pattern).sliced(i).startsWith(token))
                length = token.size();
        }
        if (length == 0) {
            name += pattern[i++];
            continue;
        }
        lastValue = values.isEmpty() ? QString() : withoutLineTerminators(values[tokens % values.size()]);
        name += lastValue;
        ++tokens;
        i += length;
    }
    require(expression->groupFields.size() == tokens, "one group per token");
    const auto outcome = expression->regex.firstMatchGroups(name);
    if (outcome.ok()) {
        require(outcome.value().has_value(), "a name made from the pattern does not match");
        const QStringList& groups = *outcome.value();
        require(groups.size() == tokens, "group count differs from the token count");
        // With one group the anchors leave it exactly one choice.
        if (tokens == 1)
            require(groups[0] == lastValue, "the only group differs from the value put in");
        const auto extracted = valuesFromName(*expression, name);
        require(extracted && extracted->size() == tokens, "valuesFromName disagrees with the expression");
    }

    // Path patterns pick whole folder names for listed fields only.
    const PathPattern pathPattern = parsePathPattern(pattern, fields);
    require(pathPattern.components.size() == pathComponents(pattern).size(), "one entry per component");
    const QStringList folders =
        pathComponents(path).mid(0, std::max<qsizetype>(pathComponents(path).size() - 1, 0));
    const QList<ExtractedValue> fromPath = valuesFromPath(pathPattern, path);
    require(fromPath.size() <= fields.size(), "more values than fields");
    for (const ExtractedValue& value : fromPath) {
        require(fields.contains(value.field), "a value for a field not listed");
        require(folders.contains(value.value), "a value that is no folder name");
    }
    return 0;
}
