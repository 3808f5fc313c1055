#include "CliCommands.h"

#include "Quire/ViewModels/FieldInput.h"
#include "Quire/ViewModels/Lookup/ReleaseData.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextTransform.h"
#include "QuireCore/IcuRegex.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("cadenza-cli", text);
}

QString unknownField(const QString& name) {
    QStringList names;
    for (TagField field : allTagFields)
        names.append(rawValue(field));
    return tr("unknown field “%1” (the fields are %2, and any other item by its name in capitals, such as "
              "CATALOGNUMBER)")
        .arg(name, names.join(u", "));
}

std::optional<QString> unknownFieldAmong(const QStringList& names) {
    for (const QString& name : names) {
        if (!fieldNamed(name))
            return unknownField(name);
    }
    return std::nullopt;
}

// A field, and the values a set command gives it, which must be ones the field can hold.
std::optional<QString> checkFieldAndValue(const QStringList& fieldAndValues) {
    if (std::optional<QString> unknown = unknownFieldAmong(fieldAndValues.mid(0, 1)))
        return unknown;
    if (fieldAndValues.size() < 2)
        return std::nullopt;
    const Result<QList<FieldEdit>, QString> edits =
        parseFieldInput(*fieldNamed(fieldAndValues[0]), joinedValues(fieldAndValues.mid(1)));
    return edits ? std::nullopt : std::optional(edits.error());
}

std::optional<QString> checkPlaceholders(const QString& pattern, const QStringList& known) {
    if (const std::optional<QString> unknown = unknownPlaceholder(pattern, known))
        return tr("unknown placeholder “%1” (the placeholders are %2)").arg(*unknown, known.join(u' '));
    return std::nullopt;
}

std::optional<QString> checkSearch(const CliCommand& command) {
    if (command.hasFlag("--regex") && !IcuRegex::compile(command.arguments[0]))
        return tr("“%1” is not a valid regular expression").arg(command.arguments[0]);
    return std::nullopt;
}

std::optional<QString> checkLookup(const CliCommand& command) {
    const std::optional<QString> release = command.option("--release");
    if (release && !MusicBrainz::releaseIdFrom(*release))
        return tr("“%1” names no release (give its MusicBrainz address or identifier)").arg(*release);
    if (release && !command.arguments.isEmpty())
        return tr("give a search or --release, not both");
    const std::optional<QString> size = command.option("--cover-size");
    if (size && !MusicBrainz::coverSizeFromText(*size))
        return tr("--cover-size takes 250, 500, 1200 or full, not “%1”").arg(*size);
    if (size && !command.hasFlag("--cover"))
        return tr("--cover-size needs --cover");
    if (command.hasFlag("--cover") && !command.hasFlag("--apply"))
        return tr("--cover needs --apply");
    return std::nullopt;
}

std::optional<QString> noCheck(const CliCommand&) {
    return std::nullopt;
}

} // namespace

const QList<CliCommandEntry>& CliCommandTable::all() {
    using S = CliSession;
    using Sel = CliSelection;
    static const QStringList search{"--regex", "--whole-word", "--all-files"};
    static const char* const selecting = "Selection and editing";
    static const char* const batch = "Batch operations";
    static const char* const online = "Online lookup (MusicBrainz, Cover Art Archive)";
    static const char* const output = "Saving and output";
    static const QList<CliCommandEntry> commands{
        {"select",
         "all | none | NAME...",
         "choose the files later commands act on; a NAME\nthat matches no file fails",
         selecting,
         1,
         -1,
         {},
         {},
         Sel::none,
         noCheck,
         &S::select},
        {"filter",
         "[TEXT...]",
         "keep later commands to the files TEXT matches, as\nthe editor's filter does: every word, or\n"
         "FIELD:TEXT for one field ('artist:\"nick drake\"');\nselects them; no TEXT ends the filter",
         selecting,
         0,
         -1,
         {},
         {},
         Sel::none,
         noCheck,
         &S::filter},
        {"set",
         "FIELD [VALUE...]",
         "set a field on the selection, with several values if given several; no VALUE clears it",
         selecting,
         1,
         -1,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) { return checkFieldAndValue(c.arguments); },
         &S::set},
        {"set-file",
         "NAME FIELD [VALUE...]",
         "set a field on one file",
         selecting,
         2,
         -1,
         {},
         {},
         Sel::none,
         [](const CliCommand& c) { return checkFieldAndValue(c.arguments.mid(1)); },
         &S::setFile},
        {"compilation",
         "true|false",
         "set the compilation flag on the selection",
         selecting,
         1,
         1,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) -> std::optional<QString> {
             if (c.arguments[0] == u"true" || c.arguments[0] == u"false")
                 return std::nullopt;
             return tr("compilation takes true or false, not “%1”").arg(c.arguments[0]);
         },
         &S::compilation},
        {"copy-tags",
         "",
         "copy the tags and artwork of the first selected file",
         selecting,
         0,
         0,
         {},
         {},
         Sel::required,
         noCheck,
         &S::copyTags},
        {"paste-tags",
         "[--field F]",
         "paste them (or one field) onto the selection",
         selecting,
         0,
         0,
         {},
         {"--field"},
         Sel::required,
         noCheck,
         &S::pasteTags},
        {"remove",
         "",
         "drop the selection from the list (not from disk)",
         selecting,
         0,
         0,
         {},
         {},
         Sel::required,
         noCheck,
         &S::remove},
        {"undo",
         "",
         "undo the last change, renames included",
         selecting,
         0,
         0,
         {},
         {},
         Sel::none,
         noCheck,
         &S::undoOrRedo},
        {"redo",
         "",
         "redo the last change undone",
         selecting,
         0,
         0,
         {},
         {},
         Sel::none,
         noCheck,
         &S::undoOrRedo},

        {"rename",
         "NAME NEWNAME",
         "rename one file on disk; prints done, unchanged or failed",
         batch,
         2,
         2,
         {},
         {},
         Sel::none,
         noCheck,
         &S::rename},
        {"rename-pattern",
         "PATTERN",
         "rename the selection from tags: \"{track} - {title}\";\na \"/\" of PATTERN makes folders, one in a "
         "value\nbecomes \"_\"; files whose placeholders are all\nempty keep their names",
         batch,
         1,
         1,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) { return checkPlaceholders(c.arguments[0], renamePlaceholders()); },
         &S::renamePattern},
        {"tags-from-filename",
         "PATTERN [FIELD...]",
         "fill fields from names: \"{trackNumber} - {title}\"\n(fields default to title and trackNumber)",
         batch,
         1,
         -1,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) {
             if (std::optional<QString> unknown = unknownFieldAmong(c.arguments.mid(1)))
                 return unknown;
             return checkPlaceholders(c.arguments[0], fieldPlaceholders(tagsFromFilenameFields(c), false));
         },
         &S::tagsFromFilename},
        {"tags-from-path",
         "PATTERN",
         "fill artist and album from folders: \"{artist}/{album}\"",
         batch,
         1,
         1,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) {
             return checkPlaceholders(c.arguments[0], fieldPlaceholders(tagsFromPathFields(), true));
         },
         &S::tagsFromPath},
        {"number-tracks",
         "[--start N] [--total keep|count|N] [--per-folder]",
         "number the selection in list order (each\nfolder's files from N with --per-folder); totals\n"
         "kept, the number of files numbered (the default)\nor N",
         batch,
         0,
         0,
         {"--per-folder"},
         {"--start", "--total"},
         Sel::required,
         noCheck,
         &S::numberTracks},
        {"count",
         "SEARCH [--regex] [--whole-word] [--all-files] [--fields F,F]",
         "count matches (fields default to the nine text fields)",
         batch,
         1,
         1,
         search,
         {"--fields"},
         Sel::requiredUnlessAllFiles,
         checkSearch,
         &S::countMatches},
        {"replace",
         "SEARCH REPLACEMENT [same options]",
         "find and replace; prints the number of changed values",
         batch,
         2,
         2,
         search,
         {"--fields"},
         Sel::requiredUnlessAllFiles,
         checkSearch,
         &S::replace},
        {"transform",
         "titleCase|upperCase|lowerCase|swapArtistTitle [--fields F,F]",
         "rewrite text (fields default to title, artist, album)",
         batch,
         1,
         1,
         {},
         {"--fields"},
         Sel::required,
         [](const CliCommand& c) -> std::optional<QString> {
             if (textTransformFromRawValue(c.arguments[0]))
                 return std::nullopt;
             return tr("unknown transform “%1” (titleCase, upperCase, lowerCase or swapArtistTitle)")
                 .arg(c.arguments[0]);
         },
         &S::transform},
        {"copy-field",
         "SOURCE TARGET",
         "copy one field into another",
         batch,
         2,
         2,
         {},
         {},
         Sel::required,
         [](const CliCommand& c) { return unknownFieldAmong(c.arguments); },
         &S::copyField},
        {"set-artwork",
         "IMAGE",
         "make IMAGE (as JPEG, front cover) the only picture",
         batch,
         1,
         1,
         {},
         {},
         Sel::required,
         noCheck,
         &S::setArtwork},
        {"remove-artwork",
         "",
         "remove every picture of the selection",
         batch,
         0,
         0,
         {},
         {},
         Sel::required,
         noCheck,
         &S::removeArtwork},
        {"optimize-artwork",
         "[--max N] [--quality Q]",
         "scale pictures down to N pixels (1000) and re-encode\nas JPEG at quality Q from 0 to 1 (0.8)",
         batch,
         0,
         0,
         {},
         {"--max", "--quality"},
         Sel::required,
         noCheck,
         &S::optimizeArtwork},
        {"import-artwork",
         "FOLDER",
         "take pictures from images named like the audio files",
         batch,
         1,
         1,
         {},
         {},
         Sel::none,
         noCheck,
         &S::importArtwork},
        {"export-artwork",
         "FOLDER",
         "write every embedded picture into FOLDER",
         batch,
         1,
         1,
         {},
         {},
         Sel::none,
         noCheck,
         &S::exportArtwork},

        {"lookup",
         "[SEARCH | --release ID] [--apply] [--cover [--cover-size S]]",
         "releases for the selection, best fitting first,\nfound by its album artist, album and number of\n"
         "files, or by SEARCH; --release takes the release\nat a MusicBrainz address or identifier and "
         "shows\n"
         "what it would change in each file; --apply applies\nit (or the best found) as one step, --cover "
         "with\n"
         "its front cover at S = 250, 500 (the default),\n1200 or full pixels",
         online,
         0,
         1,
         {"--apply", "--cover"},
         {"--release", "--cover-size"},
         Sel::required,
         checkLookup,
         &S::lookup},

        {"save", "", "write every modified file", output, 0, 0, {}, {}, Sel::none, noCheck, &S::save},
        {"list",
         "",
         "one line per file: * when modified, then file name,\ntitle, artist, album, track, duration, "
         "format,\nbit "
         "rate and sample rate, tab-separated",
         output,
         0,
         0,
         {},
         {},
         Sel::none,
         noCheck,
         &S::list},
        {"show",
         "",
         "the selection's merged values, as they are now",
         output,
         0,
         0,
         {},
         {},
         Sel::none,
         noCheck,
         &S::show},
        {"history",
         "",
         "the undo and redo steps, newest first",
         output,
         0,
         0,
         {},
         {},
         Sel::none,
         noCheck,
         &S::history},
        {"json",
         "[--no-artwork-data]",
         "the loaded files as JSON records",
         output,
         0,
         0,
         {"--no-artwork-data"},
         {},
         Sel::none,
         noCheck,
         &S::json},
    };
    return commands;
}

const CliCommandEntry* cliCommandNamed(const QString& name) {
    for (const CliCommandEntry& entry : CliCommandTable::all()) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}
