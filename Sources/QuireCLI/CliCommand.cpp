#include "CliCommand.h"

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

struct CommandShape {
    const char* name;
    int minArguments;
    int maxArguments; // -1: any number
    QStringList flags;
    QStringList valueOptions;
};

const QList<CommandShape>& commandShapes() {
    static const QStringList findFlags{"--regex", "--whole-word", "--all-files"};
    static const QList<CommandShape> shapes{
        {"select", 1, -1, {}, {}},
        {"set", 1, 2, {}, {}},
        {"set-file", 2, 3, {}, {}},
        {"compilation", 1, 1, {}, {}},
        {"rename", 2, 2, {}, {}},
        {"rename-pattern", 1, 1, {}, {}},
        {"tags-from-filename", 1, -1, {}, {}},
        {"tags-from-path", 1, 1, {}, {}},
        {"number-tracks", 0, 0, {"--per-folder"}, {"--start", "--total"}},
        {"count", 1, 1, findFlags, {"--fields"}},
        {"replace", 2, 2, findFlags, {"--fields"}},
        {"transform", 1, 1, {}, {"--fields"}},
        {"copy-field", 2, 2, {}, {}},
        {"copy-tags", 0, 0, {}, {}},
        {"paste-tags", 0, 0, {}, {"--field"}},
        {"set-artwork", 1, 1, {}, {}},
        {"remove-artwork", 0, 0, {}, {}},
        {"optimize-artwork", 0, 0, {}, {"--max", "--quality"}},
        {"import-artwork", 1, 1, {}, {}},
        {"export-artwork", 1, 1, {}, {}},
        {"remove", 0, 0, {}, {}},
        {"undo", 0, 0, {}, {}},
        {"redo", 0, 0, {}, {}},
        {"save", 0, 0, {}, {}},
        {"list", 0, 0, {}, {}},
        {"show", 0, 0, {}, {}},
        {"history", 0, 0, {}, {}},
        {"json", 0, 0, {"--no-artwork-data"}, {}},
    };
    return shapes;
}

const CommandShape* shapeNamed(const QString& name) {
    for (const CommandShape& shape : commandShapes()) {
        if (name == QLatin1String(shape.name))
            return &shape;
    }
    return nullptr;
}

// The placeholders a pattern command's pattern may hold; none for other commands.
std::optional<QStringList> knownPlaceholders(const CliCommand& command) {
    if (command.name == u"rename-pattern")
        return renamePlaceholders();
    if (command.name == u"tags-from-filename")
        return fieldPlaceholders(tagsFromFilenameFields(command), false);
    if (command.name == u"tags-from-path")
        return fieldPlaceholders(tagsFromPathFields(), true);
    return std::nullopt;
}

// The typed checks of one command's arguments and options.
std::optional<QString> checkValues(const CliCommand& command) {
    auto unknownField = [](const QString& name) {
        QStringList names;
        for (TagField field : allTagFields)
            names.append(rawValue(field));
        return tr("unknown field “%1” (the fields are %2)").arg(name, names.join(u", "));
    };
    // The value a set command gives a field must be one the field can hold.
    auto badValue = [](const QString& field, const QStringList& value) -> std::optional<QString> {
        if (value.isEmpty())
            return std::nullopt;
        const Result<QList<FieldEdit>, QString> edits = parseFieldInput(*fieldNamed(field), value.first());
        return edits ? std::nullopt : std::optional(edits.error());
    };
    const QStringList& args = command.arguments;
    const QString& name = command.name;

    if (name == u"set" && !fieldNamed(args[0]))
        return unknownField(args[0]);
    if (name == u"set-file" && !fieldNamed(args[1]))
        return unknownField(args[1]);
    if (name == u"set")
        return badValue(args[0], args.mid(1));
    if (name == u"set-file")
        return badValue(args[1], args.mid(2));
    if (name == u"compilation" && args[0] != u"true" && args[0] != u"false")
        return tr("compilation takes true or false, not “%1”").arg(args[0]);
    if (name == u"tags-from-filename") {
        for (const QString& field : args.mid(1)) {
            if (!fieldNamed(field))
                return unknownField(field);
        }
    }
    if (name == u"copy-field") {
        for (const QString& field : args) {
            if (!fieldNamed(field))
                return unknownField(field);
        }
    }
    if (const std::optional<QStringList> known = knownPlaceholders(command)) {
        if (const std::optional<QString> unknown = unknownPlaceholder(args[0], *known))
            return tr("unknown placeholder “%1” (the placeholders are %2)").arg(*unknown, known->join(u' '));
    }
    if ((name == u"count" || name == u"replace") && command.hasFlag("--regex") && !IcuRegex::compile(args[0]))
        return tr("“%1” is not a valid regular expression").arg(args[0]);
    if (name == u"transform" && !textTransformFromRawValue(args[0]))
        return tr("unknown transform “%1” (titleCase, upperCase, lowerCase or swapArtistTitle)").arg(args[0]);
    if (const auto fields = command.option("--fields"); fields && !fieldsNamed(*fields))
        return tr("unknown field in “%1”").arg(*fields);
    if (const auto field = command.option("--field"); field && !fieldNamed(*field))
        return unknownField(*field);
    for (const char* option : {"--start", "--total", "--max"}) {
        if (const auto value = command.option(option); value && !TagSet::parseInteger(*value))
            return tr("%1 needs a whole number, not “%2”").arg(QLatin1String(option), *value);
    }
    if (const auto value = command.option("--quality")) {
        bool ok = false;
        const double quality = value->toDouble(&ok);
        if (!ok || quality < 0 || quality > 1)
            return tr("--quality needs a number from 0 to 1, not “%1”").arg(*value);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> CliCommand::option(const char* name) const {
    const auto it = options.constFind(QLatin1String(name));
    return it == options.constEnd() ? std::nullopt : std::optional(it.value());
}

std::optional<TagField> fieldNamed(const QString& name) {
    for (TagField field : allTagFields) {
        if (rawValue(field).compare(name, Qt::CaseInsensitive) == 0)
            return field;
    }
    return std::nullopt;
}

std::optional<QList<TagField>> fieldsNamed(const QString& list) {
    QList<TagField> fields;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) {
        const std::optional<TagField> field = fieldNamed(name.trimmed());
        if (!field)
            return std::nullopt;
        fields.append(*field);
    }
    return fields;
}

QList<TagField> tagsFromFilenameFields(const CliCommand& command) {
    QList<TagField> fields;
    for (const QString& field : command.arguments.mid(1)) {
        if (const std::optional<TagField> named = fieldNamed(field))
            fields.append(*named);
    }
    return fields.isEmpty() ? QList<TagField>{TagField::title, TagField::trackNumber} : fields;
}

QList<TagField> tagsFromPathFields() {
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
    const CommandShape* shape = shapeNamed(command.name);
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
    if (const std::optional<QString> problem = checkValues(command))
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

} // namespace

QString cliHelpText() {
    return tr(R"(Usage: cadenza-cli [--json] [--dry-run] [-c COMMAND]... PATH...

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

Selection and editing:
  select all | none | NAME...       choose the files later commands act on; a NAME
                                    that matches no file fails
  set FIELD [VALUE]                 set a field on the selection; no VALUE clears it
  set-file NAME FIELD [VALUE]       set a field on one file
  compilation true|false            set the compilation flag on the selection
  copy-tags                         copy the tags and artwork of the first selected file
  paste-tags [--field F]            paste them (or one field) onto the selection
  remove                            drop the selection from the list (not from disk)
  undo | redo                       undo or redo the last change, renames included

Batch operations:
  rename NAME NEWNAME               rename one file on disk; prints done, unchanged or failed
  rename-pattern PATTERN            rename the selection from tags: "{track} - {title}";
                                    a "/" of PATTERN makes folders, one in a value
                                    becomes "_"; files whose placeholders are all
                                    empty keep their names
  tags-from-filename PATTERN [FIELD...]
                                    fill fields from names: "{trackNumber} - {title}"
                                    (fields default to title and trackNumber)
  tags-from-path PATTERN            fill artist and album from folders: "{artist}/{album}"
  number-tracks [--start N] [--total N] [--per-folder]
                                    number the selection in list order (each
                                    folder's files from N with --per-folder)
  count SEARCH [--regex] [--whole-word] [--all-files] [--fields F,F]
                                    count matches (fields default to the nine text fields)
  replace SEARCH REPLACEMENT [same options]
                                    find and replace; prints the number of changed values
  transform titleCase|upperCase|lowerCase|swapArtistTitle [--fields F,F]
                                    rewrite text (fields default to title, artist, album)
  copy-field SOURCE TARGET          copy one field into another
  set-artwork IMAGE                 make IMAGE (as JPEG, front cover) the only picture
  remove-artwork                    remove every picture of the selection
  optimize-artwork [--max N] [--quality Q]
                                    scale pictures down to N pixels (1000) and re-encode
                                    as JPEG at quality Q from 0 to 1 (0.8)
  import-artwork FOLDER             take pictures from images named like the audio files
  export-artwork FOLDER             write every embedded picture into FOLDER

Saving and output:
  save                              write every modified file
  list                              one line per file: * when modified, then file name,
                                    title, artist, album, track, duration, format,
                                    bit rate and sample rate, tab-separated
  show                              the selection's merged values, as the inspector shows them
  history                           the undo and redo steps, newest first
  json [--no-artwork-data]          the loaded files as JSON records

Options:
  --json        print list, show and history as JSON
  -c COMMAND    a command to run (repeatable)
  -h, --help    this text

Exit status: 0 when every command did its job; 1 when a file could not be read,
saved or moved, or a command found nothing to act on; 2 for a usage error, in
which case nothing runs.
)")
        .arg(fieldNameLines());
}
