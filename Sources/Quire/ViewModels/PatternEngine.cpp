#include "Quire/ViewModels/PatternEngine.h"

#include "Platform/FileSystem.h"
#include "QuireCore/FileMover.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

QString braceToken(const FieldKey& field) {
    return u'{' + field.name() + u'}';
}

QString percentToken(const FieldKey& field) {
    return u'%' + field.name() + u'%';
}

// "{CATALOGNUMBER}": capital letters, digits and "_", starting with a letter.
const QRegularExpression& customToken() {
    static const QRegularExpression token(QStringLiteral("\\{([A-Z][A-Z0-9_]*)\\}"));
    return token;
}

QString textOf(const std::optional<QString>& value) {
    return value.value_or(QString());
}

// Text from a tag value made fit for a part of a file name.
QString nameSafe(QString value) {
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : value) {
        if (refused.contains(c) || c.category() == QChar::Other_Control)
            c = u'_';
    }
    return value;
}

// The year of a date ("1974-11-01" gives 1974); other text as it is.
QString yearOf(const TagSet& tags) {
    const std::optional<qint64> year = tags.number(TagField::year);
    return year ? QString::number(*year) : textOf(tags.year);
}

// The track number as printf's %0Wd, W being the width of the total's decimal
// form (its minus sign included), or 2 without a total. The width is a
// minimum. Text that is no number ("A1") as it is.
QString paddedTrack(const TagSet& tags) {
    const std::optional<qint64> track = tags.number(TagField::trackNumber);
    if (!track)
        return textOf(tags.trackNumber);
    const std::optional<qint64> total = tags.number(TagField::trackTotal);
    const int width = total ? int(QString::number(*total).size()) : 2;
    return QString::asprintf("%0*lld", width, static_cast<long long>(*track));
}

// The rename placeholders with their values, in the order they are replaced.
struct RenamePlaceholder {
    const char* token;
    QString (*value)(const TagSet&);
};
constexpr RenamePlaceholder renamePlaceholderTable[] = {
    {"{title}", [](const TagSet& tags) { return textOf(tags.title); }},
    {"{artist}", [](const TagSet& tags) { return textOf(tags.artist); }},
    {"{album}", [](const TagSet& tags) { return textOf(tags.album); }},
    {"{albumArtist}", [](const TagSet& tags) { return textOf(tags.albumArtist); }},
    {"{composer}", [](const TagSet& tags) { return textOf(tags.composer); }},
    {"{genre}", [](const TagSet& tags) { return textOf(tags.genre); }},
    {"{grouping}", [](const TagSet& tags) { return textOf(tags.grouping); }},
    {"{year}", [](const TagSet& tags) { return yearOf(tags); }},
    {"{track}", [](const TagSet& tags) { return paddedTrack(tags); }},
    {"{trackTotal}", [](const TagSet& tags) { return textOf(tags.trackTotal); }},
};

} // namespace

QStringList renamePlaceholders() {
    QStringList tokens;
    for (const RenamePlaceholder& placeholder : renamePlaceholderTable)
        tokens.append(QLatin1String(placeholder.token));
    return tokens;
}

QList<FieldKey> customFieldsIn(const QString& pattern) {
    QList<FieldKey> fields;
    for (auto it = customToken().globalMatch(pattern); it.hasNext();) {
        const std::optional<FieldKey> key = FieldKey::fromName(it.next().captured(1));
        if (key && key->isCustom() && !fields.contains(*key))
            fields.append(*key);
    }
    return fields;
}

QStringList fieldPlaceholders(const QList<FieldKey>& fields, bool percentForms) {
    QStringList tokens;
    for (const FieldKey& field : fields) {
        tokens.append(braceToken(field));
        if (percentForms)
            tokens.append(percentToken(field));
    }
    return tokens;
}

bool renamesToEmptyValues(const QString& pattern, const AudioFile& file) {
    bool any = false;
    for (const RenamePlaceholder& placeholder : renamePlaceholderTable) {
        if (!pattern.contains(QLatin1String(placeholder.token)))
            continue;
        if (!placeholder.value(file.tags()).isEmpty())
            return false;
        any = true;
    }
    return any;
}

bool isUsableExpandedName(const QString& name) {
    const QStringList parts = name.split(u'/');
    return std::none_of(parts.begin(), parts.end(),
                        [](const QString& part) { return part.isEmpty() || part.startsWith(u'.'); });
}

std::optional<QString> unknownPlaceholder(const QString& pattern, const QStringList& known) {
    static const QRegularExpression placeholder(QStringLiteral("\\{[A-Za-z][A-Za-z0-9_]*\\}|%[A-Za-z]+%"));
    const QList<FieldKey> custom = customFieldsIn(pattern);
    for (auto it = placeholder.globalMatch(pattern); it.hasNext();) {
        const QString token = it.next().captured();
        if (!known.contains(token) && !custom.contains(FieldKey::custom(token.mid(1, token.size() - 2))))
            return token;
    }
    return std::nullopt;
}

QString expandPattern(const QString& pattern, const AudioFile& file) {
    const TagSet& tags = file.tags();
    // The order is binding: a value inserted by an earlier token that holds a
    // later token is expanded by that later token.
    std::vector<std::pair<QString, QString>> replacements;
    for (const RenamePlaceholder& placeholder : renamePlaceholderTable)
        replacements.emplace_back(QLatin1String(placeholder.token), nameSafe(placeholder.value(tags)));
    for (const FieldKey& field : customFieldsIn(pattern))
        replacements.emplace_back(braceToken(field), nameSafe(tags.value(field).value_or(QString())));

    QString name = pattern;
    for (const auto& [token, value] : replacements) {
        const qsizetype count = name.count(token);
        if (count == 0)
            continue;
        // Values holding tokens that expand again can multiply the length at
        // every step; stop before that exhausts memory.
        const qsizetype growth = value.size() - token.size();
        if (growth > 0 && name.size() + count * growth > maximumExpandedLength)
            return {};
        name.replace(token, value);
    }

    const QString extension = Platform::pathExtension(file.url());
    if (!extension.isEmpty() && !name.endsWith(u'.' + extension))
        name += u'.' + extension;
    return name;
}

std::optional<PatternExpression> patternToRegex(const QString& pattern, const QList<FieldKey>& fields) {
    QList<std::pair<QString, FieldKey>> tokens;
    for (const FieldKey& field : fields)
        tokens.append({braceToken(field), field});

    // Scanning from the left gives the groups in order of appearance. Every
    // token starts with "{" and holds no other, so occurrences never overlap,
    // and the literal text between them is escaped character by character:
    // the same expression as escaping the whole pattern and then replacing
    // each escaped token.
    QString expression = QStringLiteral("^");
    QList<FieldKey> groupFields;
    QString literal;
    const QStringView text(pattern);
    qsizetype position = 0;
    while (position < text.size()) {
        const auto token = text[position] != u'{'
                               ? tokens.cend()
                               : std::find_if(tokens.cbegin(), tokens.cend(), [&](const auto& t) {
                                     return text.sliced(position).startsWith(t.first);
                                 });
        if (token == tokens.cend()) {
            literal += text[position];
            ++position;
            continue;
        }
        expression += IcuRegex::escape(literal) + QStringLiteral("(.*?)");
        literal.clear();
        groupFields.append(token->second);
        position += token->first.size();
    }
    expression += IcuRegex::escape(literal) + u'$';

    std::optional<IcuRegex> regex = IcuRegex::compile(expression);
    if (!regex)
        return std::nullopt;
    return PatternExpression{std::move(*regex), std::move(groupFields)};
}

std::optional<QList<ExtractedValue>> valuesFromName(const PatternExpression& expression,
                                                    const QString& name) {
    const auto outcome = expression.regex.firstMatchGroups(name);
    if (!outcome || !outcome.value())
        return std::nullopt;
    const QStringList& groups = *outcome.value();
    QList<ExtractedValue> values;
    const qsizetype count = std::min(groups.size(), expression.groupFields.size());
    for (qsizetype group = 0; group < count; ++group)
        values.append({expression.groupFields[group], groups[group]});
    return values;
}

QStringList pathComponents(const QString& path) {
    return path.split(u'/', Qt::SkipEmptyParts);
}

PathPattern parsePathPattern(const QString& pattern, const QList<FieldKey>& fields) {
    PathPattern parsed;
    parsed.depthLimit = fields.size();
    for (const QString& component : pathComponents(pattern)) {
        const auto named = std::find_if(fields.cbegin(), fields.cend(), [&](const FieldKey& field) {
            return component == braceToken(field) || component == percentToken(field);
        });
        parsed.components.append(named == fields.cend() ? std::nullopt : std::optional(*named));
    }
    return parsed;
}

QList<ExtractedValue> valuesFromPath(const PathPattern& pattern, const QString& filePath) {
    const QStringList components = pathComponents(filePath);
    // Everything before the file name is a folder, outermost first.
    const qsizetype folderCount = std::max<qsizetype>(components.size() - 1, 0);
    const qsizetype patternCount = pattern.components.size();
    const qsizetype depth = std::min({patternCount, folderCount, pattern.depthLimit});
    QList<ExtractedValue> values;
    for (qsizetype k = 0; k < depth; ++k) {
        if (const std::optional<FieldKey>& field = pattern.components[patternCount - 1 - k])
            values.append({*field, components[folderCount - 1 - k]});
    }
    return values;
}

std::optional<QString> renamedName(const QString& pattern, const AudioFile& file) {
    QString name = expandPattern(pattern, file);
    if (renamesToEmptyValues(pattern, file) || !isUsableExpandedName(name))
        return std::nullopt;
    const QStringList parts = name.split(u'/');
    if (std::any_of(parts.begin(), parts.end(), FileMover::containsIllegalFilenameCharacter))
        return std::nullopt;
    return name;
}
