#include "CliCommand.h"

#include "CliCommands.h"

#include "Quire/ViewModels/FieldInput.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextTransform.h"
#include "QuireCore/IcuRegex.h"
#include "QuireCore/TagSet.h"
#include "ShellWords.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("cadenza-cli", text);
}

// The checks of the options' values, whatever the command; then the command's own.
std::optional<QString> checkValues(const CliCommand& command, const CliCommandEntry& entry) {
    if (const auto fields = command.option("--fields"); fields && !fieldsNamed(*fields))
        return tr("unknown field in “%1”").arg(*fields);
    if (const auto field = command.option("--field"); field && !fieldNamed(*field))
        return tr("unknown field “%1”").arg(*field);
    for (const char* option : {"--start", "--max"}) {
        if (const auto value = command.option(option); value && !TagSet::parseInteger(*value))
            return tr("%1 needs a whole number, not “%2”").arg(QLatin1String(option), *value);
    }
    if (const auto value = command.option("--total");
        value && *value != u"keep" && *value != u"count" && !TagSet::parseInteger(*value))
        return tr("--total needs keep, count or a whole number, not “%1”").arg(*value);
    if (const auto value = command.option("--quality")) {
        bool ok = false;
        const double quality = value->toDouble(&ok);
        if (!ok || quality < 0 || quality > 1)
            return tr("--quality needs a number from 0 to 1, not “%1”").arg(*value);
    }
    return entry.check(command);
}

} // namespace

std::optional<QString> CliCommand::option(const char* name) const {
    const auto it = options.constFind(QLatin1String(name));
    return it == options.constEnd() ? std::nullopt : std::optional(it.value());
}

std::optional<FieldKey> fieldNamed(const QString& name) {
    const std::optional<FieldKey> key = FieldKey::fromName(name);
    if (key && key->isCustom() && key->customName() != name)
        return std::nullopt;
    return key;
}

std::optional<QList<FieldKey>> fieldsNamed(const QString& list) {
    QList<FieldKey> fields;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) {
        const std::optional<FieldKey> field = fieldNamed(name.trimmed());
        if (!field)
            return std::nullopt;
        fields.append(*field);
    }
    return fields;
}

QList<FieldKey> tagsFromFilenameFields(const CliCommand& command) {
    QList<FieldKey> fields;
    for (const QString& field : command.arguments.mid(1)) {
        if (const std::optional<FieldKey> named = fieldNamed(field))
            fields.append(*named);
    }
    if (fields.isEmpty())
        fields = {TagField::title, TagField::trackNumber};
    return fields + customFieldsIn(command.arguments.value(0));
}

QString joinedValues(const QStringList& values) {
    return values.join(TagSet::valueSeparator);
}

QList<FieldKey> tagsFromPathFields() {
    return {TagField::artist, TagField::album};
}

Result<CliCommand, QString> parseCliCommand(const QString& line) {
    Result<QStringList, QString> split = splitShellWords(line);
    if (!split)
        return tr("in “%1”: %2").arg(line, split.error());
    QStringList words = std::move(split).value();
    if (words.isEmpty())
        return tr("an empty command");

    CliCommand command;
    command.line = line;
    command.name = words.takeFirst();
    const CliCommandEntry* shape = cliCommandNamed(command.name);
    if (!shape)
        return tr("unknown command “%1”").arg(command.name);

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (shape->flags.contains(word)) {
            command.flags.insert(word);
        } else if (shape->valueOptions.contains(word)) {
            if (i + 1 == words.size())
                return tr("%1 in “%2” needs a value").arg(word, line);
            command.options.insert(word, words[++i]);
        } else if (word.startsWith(QLatin1String("--")) && word.size() > 2) {
            return tr("unknown option “%1” for %2").arg(word, command.name);
        } else {
            command.arguments.append(word);
        }
    }
    const int count = static_cast<int>(command.arguments.size());
    if (count < shape->minArguments || (shape->maxArguments >= 0 && count > shape->maxArguments))
        return tr("wrong number of arguments in “%1” (see --help)").arg(line);
    if (const std::optional<QString> problem = checkValues(command, *shape))
        return tr("in “%1”: %2").arg(line, *problem);
    return command;
}

namespace {

// Every field's name, in lines of the help text's width.
QString fieldNameLines() {
    constexpr qsizetype width = 78;
    QString lines;
    QString line = QStringLiteral(" ");
    for (TagField field : allTagFields) {
        const QString name = rawValue(field);
        if (line.size() + 1 + name.size() > width) {
            lines += line + u'\n';
            line = QStringLiteral(" ");
        }
        line += u' ' + name;
    }
    return lines + line;
}

// Every command under its heading, each with its usage and help, the help in
// a column of its own.
QString commandLines() {
    constexpr qsizetype column = 36;
    QString text;
    QString group;
    for (const CliCommandEntry& entry : CliCommandTable::all()) {
        if (group != QLatin1String(entry.group)) {
            group = QLatin1String(entry.group);
            text += group + QStringLiteral(":\n");
        }
        QString usage = QStringLiteral("  ") + QLatin1String(entry.name);
        if (*entry.usage)
            usage += u' ' + QLatin1String(entry.usage);
        const QStringList lines = QString::fromUtf8(entry.help).split(u'\n');
        text += usage.size() + 1 < column ? usage.leftJustified(column) + lines.first() + u'\n'
                                          : usage + u'\n' + QString(column, u' ') + lines.first() + u'\n';
        for (const QString& line : lines.mid(1))
            text += QString(column, u' ') + line + u'\n';
        if (&entry != &CliCommandTable::all().last() &&
            QLatin1String((&entry + 1)->group) != QLatin1String(entry.group))
            text += u'\n';
    }
    return text + u'\n';
}

} // namespace

QString cliHelpText() {
    return tr(R"(Usage: cadenza-cli [--json] [--dry-run] [--id3v2 3|4] [--no-cache] [-c COMMAND]... PATH...

Loads the audio files and folders given as PATHs, selects every loaded file,
and runs the commands in order, exactly as the Cadenza editor would. Nothing is
written into an audio file without "save"; renames and artwork export act at
once, as in the editor. Each COMMAND is one argument, split into words like a
shell splits them: -c 'set title "Dark Side"'. With --dry-run everything runs
but nothing is written: save and export-artwork say what they would do, and
renames are undone at the end. --json prints one JSON document for the run.

Fields are named as in the files' JSON form:
%1
Field names may be written in any case. Values are checked before anything
runs: numbers are whole numbers from 0 to 2147483647 (trackNumber and
discNumber also take "3/12", which sets the total too), year also takes a date
("1973-03-01"), compilation takes true, false, yes, no, 1 or 0.
A NAME given to select is a file name, a path (a folder selects the files
below it) or a shell-style pattern of names or of paths below the loaded
folders: select '*.flac' 'Disc 2/*'. Elsewhere NAMEs are file names.

%2Options:
  --json        print the run's results as one JSON document
  --dry-run     run everything, write nothing, undo renames at the end
  --id3v2 3|4   the version of the ID3v2 tags a save creates (by default the
                editor's preference, else 4); tags files have keep theirs
  --no-cache    read every file, even those the read cache holds unchanged
                (the editor's preference can turn the cache off for good)
  --version     the version
  -c COMMAND    a command to run (repeatable)
  -h, --help    this text

lookup asks the MusicBrainz web service and the Cover Art Archive at the
addresses set in the editor's preferences; CADENZA_MUSICBRAINZ_URL and
CADENZA_COVERART_URL override them.

Exit status: 0 when every command did its job; 1 when a file could not be read,
saved or moved, or a command found nothing to act on; 2 for a usage error, in
which case nothing runs.
)")
        .arg(fieldNameLines(), commandLines());
}
