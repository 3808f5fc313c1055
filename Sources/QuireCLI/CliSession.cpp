#include "CliSession.h"

#include "CliCommands.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/PatternEngine.h"
#include "Quire/ViewModels/TextTransform.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString tr(const char* text, int count = -1) {
    return QCoreApplication::translate("cadenza-cli", text, nullptr, count);
}

QUrl locationOf(const QString& path) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

// A track number as a number, and text that is none ("A1") as it is.
QJsonValue trackJson(const std::optional<QString>& track) {
    if (!track)
        return QJsonValue();
    const std::optional<qint64> number = TagSet::parseInteger(*track);
    return number && QString::number(*number) == *track ? QJsonValue(*number) : QJsonValue(*track);
}

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

} // namespace

CliSession::CliSession(DocumentViewModel& document, QTextStream& out, QTextStream& err, bool json)
    : m_document(document)
    , m_out(out)
    , m_err(err)
    , m_json(json) {}

void CliSession::waitUntil(const std::function<bool()>& done) {
    // The document reports through signals; run the event loop until it is
    // done. (processEvents with a time limit never waits for events: it would
    // spin here and take a core from the readers.)
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
}

CliSession::Status CliSession::load(const QList<QUrl>& locations) {
    m_locations = locations;
    m_document.importFiles(locations);
    waitUntil([this] { return !m_document.isLoading(); });
    QSet<QUuid> all;
    for (const AudioFile& file : m_document.files())
        all.insert(file.id());
    m_document.setSelectedFiles(all);
    return takeNotices();
}

CliSession::Status CliSession::takeNotices() {
    const QList<Notice> notices = m_document.notices().takeAll();
    for (const Notice& notice : notices)
        m_err << notice.text << Qt::endl;
    return notices.isEmpty() ? Status::ok : Status::failed;
}

CliSession::Status CliSession::run(const CliCommand& command) {
    m_current = command.line;
    const Status status = execute(command);
    const Status documentStatus = takeNotices();
    return status == Status::failed || documentStatus == Status::failed ? Status::failed : Status::ok;
}

QList<AudioFile> CliSession::filesSelectedBy(const QString& selector) const {
    // A path that exists: that file, or every file below that folder.
    const QFileInfo given(selector);
    if (selector.contains(u'/') && given.exists()) {
        const QString target = given.canonicalFilePath();
        QList<AudioFile> matches;
        for (const AudioFile& file : m_document.files()) {
            const QString path = QFileInfo(file.url().toLocalFile()).canonicalFilePath();
            if (path == target || (given.isDir() && path.startsWith(target + u'/')))
                matches.append(file);
        }
        return matches;
    }
    // A file name, or a shell-style pattern of names or of paths below the
    // loaded folders ("*.flac", "Album */0?-*").
    const bool glob = selector.contains(u'*') || selector.contains(u'?') || selector.contains(u'[');
    if (!glob && !selector.contains(u'/'))
        return filesNamed(selector);
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(selector));
    QList<AudioFile> matches;
    for (const AudioFile& file : m_document.files()) {
        const QString path = file.url().toLocalFile();
        QStringList candidates{file.filename(), path};
        for (const QUrl& location : m_locations) {
            const QString folder = location.toLocalFile() + u'/';
            if (path.startsWith(folder))
                candidates.append(path.mid(folder.size()));
        }
        if (std::any_of(candidates.begin(), candidates.end(),
                        [&](const QString& candidate) { return pattern.match(candidate).hasMatch(); }))
            matches.append(file);
    }
    return matches;
}

QList<AudioFile> CliSession::filesNamed(const QString& name) const {
    QList<AudioFile> matches;
    for (const AudioFile& file : m_document.files()) {
        if (file.filename() == name)
            matches.append(file);
    }
    return matches;
}

std::optional<AudioFile> CliSession::singleFileNamed(const QString& name) {
    const QList<AudioFile> matches = filesNamed(name);
    if (matches.size() == 1)
        return matches.first();
    if (matches.isEmpty())
        m_err << tr("No loaded file is named “%1”.").arg(name) << Qt::endl;
    else
        m_err << tr("%n loaded files are named “%1”; use select instead.", int(matches.size())).arg(name)
              << Qt::endl;
    return std::nullopt;
}

CliSession::Status CliSession::nothingToActOn(const QString& what) {
    m_err << what << Qt::endl;
    return Status::failed;
}

bool CliSession::requireSelection(const CliCommand& command) {
    if (!m_document.selectedAudioFiles().isEmpty())
        return true;
    m_err << tr("“%1”: no file is selected.").arg(command.line) << Qt::endl;
    return false;
}

CliSession::Status CliSession::execute(const CliCommand& command) {
    const CliCommandEntry* entry = cliCommandNamed(command.name);
    Q_ASSERT(entry); // parsed commands are known ones
    // Find and replace may also work on every loaded file; most else needs a selection.
    const bool allFiles =
        entry->selection == CliSelection::requiredUnlessAllFiles && command.hasFlag("--all-files");
    if (entry->selection != CliSelection::none &&
        (allFiles ? m_document.files().isEmpty() : !requireSelection(command)))
        return Status::failed;
    return (this->*entry->handler)(command);
}

CliSession::Status CliSession::count(qsizetype count) {
    result(count, QString::number(count));
    return Status::ok;
}

std::optional<qint64> CliSession::number(const CliCommand& command, const char* option) {
    const std::optional<QString> text = command.option(option);
    return text ? TagSet::parseInteger(*text) : std::nullopt;
}

QList<FieldKey> CliSession::searchFields(const CliCommand& command) {
    const std::optional<QString> fields = command.option("--fields");
    if (fields)
        return *fieldsNamed(*fields);
    const QList<TagField> text = textTagFields();
    return QList<FieldKey>(text.begin(), text.end());
}

CliSession::Status CliSession::select(const CliCommand& command) {
    const QStringList& args = command.arguments;
    QSet<QUuid> ids;
    if (args == QStringList{QStringLiteral("all")}) {
        for (const AudioFile& file : m_document.files())
            ids.insert(file.id());
    } else if (args != QStringList{QStringLiteral("none")}) {
        for (const QString& selector : args) {
            const QList<AudioFile> matches = filesSelectedBy(selector);
            if (matches.isEmpty())
                return nothingToActOn(tr("No loaded file is named “%1”.").arg(selector));
            for (const AudioFile& file : matches)
                ids.insert(file.id());
        }
    }
    m_document.setSelectedFiles(ids);
    return Status::ok;
}

CliSession::Status CliSession::filter(const CliCommand& command) {
    m_document.setFilterText(command.arguments.join(u' '));
    if (m_document.shownCount() == 0 && !m_document.files().isEmpty())
        return nothingToActOn(tr("No loaded file matches “%1”.").arg(m_document.filterText()));
    m_document.selectAll();
    return Status::ok;
}

CliSession::Status CliSession::edit(const FieldKey& field, const QString& text, std::optional<QUuid> file) {
    const Result<bool, QString> edited = m_document.editField(field, text, file);
    if (edited)
        return Status::ok;
    m_err << edited.error() << Qt::endl;
    return Status::failed;
}

CliSession::Status CliSession::set(const CliCommand& command) {
    const QStringList& args = command.arguments;
    return edit(*fieldNamed(args[0]), joinedValues(args.mid(1)));
}

CliSession::Status CliSession::setFile(const CliCommand& command) {
    const QStringList& args = command.arguments;
    const std::optional<AudioFile> file = singleFileNamed(args[0]);
    if (!file)
        return Status::failed;
    return edit(*fieldNamed(args[1]), joinedValues(args.mid(2)), file->id());
}

CliSession::Status CliSession::compilation(const CliCommand& command) {
    return edit(TagField::compilation, command.arguments[0]);
}

CliSession::Status CliSession::copyTags(const CliCommand&) {
    m_document.tagClipboard().copyFromSelected();
    return Status::ok;
}

CliSession::Status CliSession::pasteTags(const CliCommand& command) {
    if (!m_document.tagClipboard().contents().tags)
        return nothingToActOn(tr("Nothing has been copied: use copy-tags first."));
    const std::optional<QString> field = command.option("--field");
    m_document.tagClipboard().pasteToSelected(true, !field, field ? fieldNamed(*field) : std::nullopt);
    return Status::ok;
}

CliSession::Status CliSession::remove(const CliCommand&) {
    m_document.removeSelectedFromList();
    return Status::ok;
}

CliSession::Status CliSession::undoOrRedo(const CliCommand& command) {
    const bool undoing = command.name == u"undo";
    if (!(undoing ? m_document.history().canUndo() : m_document.history().canRedo()))
        return nothingToActOn(undoing ? tr("Nothing to undo.") : tr("Nothing to redo."));
    return applyStep(undoing) ? Status::ok : Status::failed;
}

bool CliSession::applyStep(bool undoing) {
    std::optional<bool> applied;
    const auto done = [&applied](bool stepApplied) { applied = stepApplied; };
    if (!(undoing ? m_document.undo(done) : m_document.redo(done)))
        return false;
    waitUntil([&applied] { return applied.has_value(); });
    return *applied;
}

CliSession::Status CliSession::rename(const CliCommand& command) {
    const std::optional<AudioFile> file = singleFileNamed(command.arguments[0]);
    if (!file)
        return Status::failed;
    const Result<FileRenameResult, QString> renamed = m_document.renameFile(file->id(), command.arguments[1]);
    if (!renamed) {
        m_err << renamed.error() << Qt::endl;
        result(QStringLiteral("failed"), QStringLiteral("failed"));
        return Status::failed;
    }
    const QString outcome =
        renamed.value() == FileRenameResult::done ? QStringLiteral("done") : QStringLiteral("unchanged");
    result(outcome, outcome);
    return Status::ok;
}

CliSession::Status CliSession::renamePattern(const CliCommand& command) {
    std::optional<PatternRenameReport> report;
    if (m_document.renameFromPattern(command.arguments[0],
                                     [&report](const PatternRenameReport& done) { report = done; }))
        waitUntil([&report] { return report.has_value(); });
    const int moved = report ? report->movedCount() : 0;
    count(moved);
    // Each file still where it was though its name should change, with why.
    QStringList stayed;
    for (const PatternRenameReport::File& file :
         report ? report->files : QList<PatternRenameReport::File>()) {
        if (!file.reason.isEmpty())
            stayed.append(tr("%1: not moved, %2").arg(file.filename, file.reason));
    }
    if (stayed.isEmpty())
        return Status::ok;
    return nothingToActOn(tr("Moved %1 of %n files.", int(report->files.size())).arg(moved) + u'\n' +
                          stayed.join(u'\n'));
}

CliSession::Status CliSession::tagsFromFilename(const CliCommand& command) {
    const QString& pattern = command.arguments[0];
    const QList<FieldKey> fields = tagsFromFilenameFields(command);
    BatchReport report;
    if (!changesSelectedTags([&] { report = m_document.tagOperations().tagsFromFilename(pattern, fields); }))
        return nothingToActOn(tr("“%1” matched no selected file's name, or changed nothing.").arg(pattern));
    reportSkipped(report);
    return Status::ok;
}

void CliSession::reportSkipped(const BatchReport& report) {
    for (const QString& line : report.skippedLines())
        m_err << tr("skipped %1").arg(line) << Qt::endl;
}

CliSession::Status CliSession::tagsFromPath(const CliCommand& command) {
    const QString& pattern = command.arguments[0];
    BatchReport report;
    if (!changesSelectedTags(
            [&] { report = m_document.tagOperations().tagsFromPath(pattern, tagsFromPathFields()); }))
        return nothingToActOn(
            tr("“%1” matched no selected file's folders, or changed nothing.").arg(pattern));
    reportSkipped(report);
    return Status::ok;
}

CliSession::Status CliSession::numberTracks(const CliCommand& command) {
    const qint64 start = number(command, "--start").value_or(1);
    TrackTotals totals; // the number of files numbered, unless told otherwise
    if (const std::optional<QString> total = command.option("--total"); total == u"keep")
        totals.rule = TrackTotals::Rule::keep;
    else if (total && total != u"count")
        totals = {TrackTotals::Rule::given, TagSet::parseInteger(*total).value_or(0)};
    const QList<TrackNumbering> plan =
        m_document.tagOperations().planTrackNumbers(start, totals, command.hasFlag("--per-folder"));
    const auto replacedTexts =
        std::count_if(plan.begin(), plan.end(), [](const TrackNumbering& file) { return file.replacesText; });
    if (replacedTexts > 0)
        m_err << tr("Numbering replaces %n track numbers that are not numbers (such as “A1”).",
                    int(replacedTexts))
              << Qt::endl;
    m_document.tagOperations().numberTracks(start, totals, command.hasFlag("--per-folder"));
    return Status::ok;
}

CliSession::Status CliSession::countMatches(const CliCommand& command) {
    return count(m_document.tagOperations().countFindMatches(
        command.arguments[0], command.hasFlag("--regex"), command.hasFlag("--whole-word"),
        searchFields(command), command.hasFlag("--all-files")));
}

CliSession::Status CliSession::replace(const CliCommand& command) {
    return count(m_document.tagOperations().findAndReplace(
        command.arguments[0], command.arguments[1], command.hasFlag("--regex"),
        command.hasFlag("--whole-word"), searchFields(command), command.hasFlag("--all-files")));
}

CliSession::Status CliSession::transform(const CliCommand& command) {
    const QList<FieldKey> fields = command.option("--fields")
                                       ? searchFields(command)
                                       : QList<FieldKey>{TagField::title, TagField::artist, TagField::album};
    m_document.tagOperations().applyTextTransform(*textTransformFromRawValue(command.arguments[0]), fields);
    return Status::ok;
}

CliSession::Status CliSession::copyField(const CliCommand& command) {
    m_document.tagOperations().copyFieldToField(*fieldNamed(command.arguments[0]),
                                                *fieldNamed(command.arguments[1]));
    return Status::ok;
}

CliSession::Status CliSession::setArtwork(const CliCommand& command) {
    const std::optional<Artwork> picture =
        ArtworkProcessing::coverArtworkFromFile(locationOf(command.arguments[0]));
    if (!picture)
        return nothingToActOn(tr("“%1” is not a picture that can be read.").arg(command.arguments[0]));
    m_document.artworkOperations().setArtwork(*picture);
    return Status::ok;
}

CliSession::Status CliSession::removeArtwork(const CliCommand&) {
    m_document.artworkOperations().removeArtwork();
    return Status::ok;
}

CliSession::Status CliSession::optimizeArtwork(const CliCommand& command) {
    bool done = false;
    m_document.artworkOperations().optimizeArtwork(
        static_cast<int>(number(command, "--max").value_or(1000)),
        command.option("--quality").value_or(QStringLiteral("0.8")).toDouble(), [&done] { done = true; });
    waitUntil([&done] { return done; });
    return Status::ok;
}

CliSession::Status CliSession::importArtwork(const CliCommand& command) {
    const QString& folder = command.arguments[0];
    if (!QFileInfo(folder).isDir())
        return nothingToActOn(tr("“%1” is not a folder.").arg(folder));
    std::optional<int> imported;
    m_document.artworkOperations().batchImportArtwork(locationOf(folder),
                                                      [&imported](int count) { imported = count; });
    waitUntil([&imported] { return imported.has_value(); });
    count(*imported);
    return *imported > 0 ? Status::ok
                         : nothingToActOn(tr("No picture in “%1” is named like a loaded file.").arg(folder));
}

CliSession::Status CliSession::exportArtwork(const CliCommand& command) {
    const QString& folder = command.arguments[0];
    if (!QFileInfo(folder).isDir())
        return nothingToActOn(tr("“%1” is not a folder.").arg(folder));
    if (m_document.filesWithArtworkCount() == 0)
        return nothingToActOn(tr("No loaded file has artwork."));
    if (m_dryRun)
        return count(m_document.filesWithArtworkCount());
    std::optional<int> exported;
    m_document.artworkOperations().batchExportAllArtwork(locationOf(folder),
                                                         [&exported](int count) { exported = count; });
    waitUntil([&exported] { return exported.has_value(); });
    count(*exported);
    return *exported > 0 ? Status::ok
                         : nothingToActOn(tr("No picture could be written into “%1”.").arg(folder));
}

CliSession::Status CliSession::save(const CliCommand&) {
    const qsizetype modified = m_document.modifiedCount();
    if (m_dryRun) {
        result(QJsonObject{{"saved", 0}, {"modified", modified}},
               tr("Would save %n modified files (dry run).", int(modified)));
        return Status::ok;
    }
    m_document.saveAll();
    waitUntil([this] { return !m_document.isSaving(); });
    const qsizetype saved = modified - m_document.modifiedCount();
    result(QJsonObject{{"saved", saved}, {"modified", modified}},
           tr("Saved %1 of %n modified files.", int(modified)).arg(saved));
    return Status::ok;
}

bool CliSession::changesSelectedTags(const std::function<void()>& operation) {
    const auto tagsOf = [this] {
        QList<TagSet> tags;
        for (const AudioFile& file : m_document.selectedAudioFiles())
            tags.append(file.tags());
        return tags;
    };
    const QList<TagSet> before = tagsOf();
    operation();
    return tagsOf() != before;
}

void CliSession::result(const QJsonValue& json, const QString& text) {
    if (m_json)
        m_results.append(QJsonObject{{"command", m_current}, {"result", json}});
    else if (!text.isEmpty())
        m_out << text << (text.endsWith(u'\n') ? "" : "\n") << Qt::flush;
}

CliSession::Status CliSession::undoEverything() {
    while (m_document.history().canUndo()) {
        if (!applyStep(true)) {
            m_err << tr("Could not undo “%1”; the files may not all be back where they were.")
                         .arg(m_document.history().undoDescription().value_or(QString()))
                  << Qt::endl;
            return Status::failed;
        }
    }
    return takeNotices();
}

void CliSession::finish() {
    if (m_json)
        m_out << QJsonDocument(m_results).toJson(QJsonDocument::Indented) << Qt::flush;
}

CliSession::Status CliSession::list(const CliCommand&) {
    QJsonArray rows;
    QString text;
    for (const AudioFile& file : m_document.files()) {
        const AudioFileRow row{file};
        const QString track = row.trackNumber().value_or(QString());
        rows.append(QJsonObject{{"modified", row.isModified()},
                                {"filename", row.filename()},
                                {"title", optionalText(row.title())},
                                {"artist", optionalText(row.artist())},
                                {"album", optionalText(row.album())},
                                {"track", trackJson(row.trackNumber())},
                                {"duration", row.duration()},
                                {"format", row.format()},
                                {"bitrate", row.bitrate()},
                                {"sampleRate", row.sampleRate()}});
        const QStringList columns{row.isModified() ? QStringLiteral("*") : QString(),
                                  row.filename(),
                                  row.title().value_or(QString()),
                                  row.artist().value_or(QString()),
                                  row.album().value_or(QString()),
                                  track,
                                  row.duration(),
                                  row.format(),
                                  row.bitrate(),
                                  row.sampleRate()};
        text += columns.join(u'\t') + u'\n';
    }
    result(rows, text);
    return Status::ok;
}

// The selection's merged values, as the inspector shows them.
CliSession::Status CliSession::show(const CliCommand&) {
    const EditableTagSet* state = m_document.editState();
    QJsonObject json;
    QString text;
    for (TagField field : allTagFields) {
        const bool varies = state->varies(field);
        QString value = state->stringValue(field);
        if (field == TagField::compilation)
            value = state->compilation() ? QStringLiteral("true") : QStringLiteral("false");
        json.insert(rawValue(field),
                    QJsonObject{{"value", varies ? QJsonValue() : QJsonValue(value)}, {"varies", varies}});
        text += displayName(field) + u'\t' + (varies ? tr("<multiple values>") : value) + u'\n';
    }
    result(json, text);
    return Status::ok;
}

CliSession::Status CliSession::history(const CliCommand&) {
    const QStringList undo = m_document.history().undoDescriptions();
    const QStringList redo = m_document.history().redoDescriptions();
    QJsonArray undoJson, redoJson;
    QString text;
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        undoJson.append(*it);
        text += QStringLiteral("undo\t") + *it + u'\n';
    }
    for (auto it = redo.rbegin(); it != redo.rend(); ++it) {
        redoJson.append(*it);
        text += QStringLiteral("redo\t") + *it + u'\n';
    }
    result(QJsonObject{{"undo", undoJson}, {"redo", redoJson}}, text);
    return Status::ok;
}

CliSession::Status CliSession::json(const CliCommand& command) {
    const bool withArtworkData = !command.hasFlag("--no-artwork-data");
    QJsonArray records;
    for (AudioFile file : m_document.files()) {
        // The pictures' bytes are read from the files for their records.
        if (withArtworkData) {
            const PictureSource source = m_document.pictureSource(file);
            const Result<QList<Artwork>, TagReaderError> pictures =
                source.store->holding(file.artwork(), source.file);
            if (pictures)
                file.setArtwork(pictures.value());
            else
                m_err << tr("%1: %2").arg(file.path(), pictures.error().description()) << Qt::endl;
        }
        QJsonObject record = file.toJson();
        if (!withArtworkData) {
            QJsonArray pictures = record.value(QStringLiteral("artwork")).toArray();
            for (QJsonValueRef picture : pictures) {
                QJsonObject object = picture.toObject();
                object.remove(QStringLiteral("data"));
                picture = object;
            }
            record.insert(QStringLiteral("artwork"), pictures);
        }
        records.append(record);
    }
    // Without --json the records are still JSON: that is what the command is for.
    result(records, QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Indented)));
    return Status::ok;
}

template <typename T>
std::optional<T> CliSession::awaited(const std::function<void(ReleaseLookup::Completion<T>)>& start) {
    std::optional<Result<T, LookupError>> answer;
    start([&answer](const Result<T, LookupError>& result) { answer = result; });
    waitUntil([&answer] { return answer.has_value(); });
    return answer->ok() ? std::optional<T>(answer->value()) : std::nullopt;
}

namespace {

QJsonObject candidateJson(const MusicBrainz::ReleaseSummary& release, int score) {
    return {{"id", release.id},
            {"title", release.title},
            {"artist", release.artist.name},
            {"date", release.date},
            {"country", release.country},
            {"format", release.format},
            {"trackCount", release.trackCount},
            {"label", release.label},
            {"barcode", release.barcode},
            {"score", score}};
}

QString candidateText(const MusicBrainz::ReleaseSummary& release, int score) {
    return QStringList{
        QString::number(score), release.id,      release.title,  release.artist.name,
        release.date,           release.country, release.format, QString::number(release.trackCount),
        release.label,          release.barcode}
        .join(u'\t');
}

} // namespace

CliSession::Status CliSession::lookup(const CliCommand& command) {
    using namespace MusicBrainz;
    ReleaseLookup& lookup = m_document.releaseLookup();
    const QList<AudioFile> files = m_document.selectedAudioFiles();
    const bool applying = command.hasFlag("--apply");
    std::optional<QString> releaseId;
    if (const std::optional<QString> given = command.option("--release"))
        releaseId = releaseIdFrom(*given);

    if (!releaseId) {
        const QString search = command.arguments.value(0);
        const std::optional<QList<LookupCandidate>> candidates =
            awaited<QList<LookupCandidate>>([&](auto done) { lookup.findCandidates(files, search, done); });
        if (!candidates)
            return Status::failed;
        if (!applying) {
            QJsonArray json;
            QString text;
            for (const LookupCandidate& candidate : *candidates) {
                json.append(candidateJson(candidate.release, candidate.score));
                text += candidateText(candidate.release, candidate.score) + u'\n';
            }
            result(json, text);
            return candidates->isEmpty() ? nothingToActOn(tr("No release was found.")) : Status::ok;
        }
        if (candidates->isEmpty())
            return nothingToActOn(tr("No release was found."));
        releaseId = candidates->first().release.id;
    }

    const std::optional<Release> release =
        awaited<Release>([&](auto done) { lookup.fetchRelease(*releaseId, done); });
    if (!release)
        return Status::failed;
    std::optional<Artwork> cover;
    if (command.hasFlag("--cover")) {
        const CoverSize size =
            coverSizeFromText(command.option("--cover-size").value_or(QStringLiteral("500"))).value();
        const std::optional<std::optional<Artwork>> front = awaited<std::optional<Artwork>>(
            [&](auto done) { lookup.fetchFrontCover(*releaseId, size, done); });
        if (!front)
            return Status::failed;
        if (!*front)
            m_err << tr("The Cover Art Archive has no front cover for this release.") << Qt::endl;
        cover = *front;
    }

    const ReleaseMatch match = matchFiles(files, *release);
    const ReleasePreview preview = previewRelease(files, *release, match);
    const int score = candidateScore(release->summary, searchTermsOf(files));
    QJsonArray filesJson;
    QString text = tr("Release: %1").arg(candidateText(release->summary, score)) + u'\n';
    for (const ReleasePreview::File& file : preview.files) {
        QJsonArray changes;
        text += QStringLiteral("%1\t%2\n").arg(file.filename, file.trackLabel);
        for (const FieldChange& change : file.changes) {
            const auto value = [](const std::optional<QString>& v) {
                return v ? QJsonValue(*v) : QJsonValue();
            };
            changes.append(QJsonObject{
                {"field", change.field.name()}, {"old", value(change.before)}, {"new", value(change.after)}});
            text += QStringLiteral("  %1: %2 → %3\n")
                        .arg(change.field.name(), change.before.value_or(QString()),
                             change.after.value_or(QString()));
        }
        filesJson.append(
            QJsonObject{{"file", file.filename}, {"track", file.trackLabel}, {"changes", changes}});
    }
    for (const QString& name : preview.unmatchedFiles)
        text += tr("not matched: %1").arg(name) + u'\n';
    for (const QString& track : preview.unmatchedTracks)
        text += tr("no file for track: %1").arg(track) + u'\n';
    QJsonObject json{{"release", candidateJson(release->summary, score)},
                     {"files", filesJson},
                     {"unmatchedFiles", QJsonArray::fromStringList(preview.unmatchedFiles)},
                     {"unmatchedTracks", QJsonArray::fromStringList(preview.unmatchedTracks)}};
    if (applying) {
        const int applied = lookup.apply(*release, match, cover);
        json.insert(QStringLiteral("applied"), applied);
        json.insert(QStringLiteral("cover"), cover.has_value());
        text += tr("Applied to %n files.", applied) + u'\n';
    }
    result(json, text);
    return preview.files.isEmpty() ? nothingToActOn(tr("No selected file matches a track of the release."))
                                   : Status::ok;
}

void CliSession::reportUnsavedChanges() {
    if (const qsizetype modified = m_document.modifiedCount())
        m_err << tr("%n file(s) have unsaved changes; add -c save to write them.", int(modified)) << Qt::endl;
}
