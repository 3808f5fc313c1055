#include "Quire/ViewModels/ImportCandidates.h"

#include "Platform/FileSystem.h"
#include "QuireCore/AudioFormat.h"
#include "QuireCore/SafeFileReplacement.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>

namespace {

bool isSaveLeftover(const QUrl& file) {
    return parseSaveLeftoverName(QFile::encodeName(Platform::lastPathComponent(file))).has_value();
}

QString folderOf(const QUrl& file) {
    return Platform::deletingLastPathComponent(file).toLocalFile();
}

} // namespace

// One folder's walk. A file waits until its folder has been listed to its
// end; since the walk is depth first, leaving a folder at some depth ends
// every folder at that depth or deeper, and their files go on.
class ImportCandidates::Walk : public Platform::DirectoryVisitor {
public:
    Walk(ImportCandidates& search, Portion& portion, const std::function<void()>& progress,
         const std::atomic<bool>* cancelled)
        : m_search(search)
        , m_portion(portion)
        , m_progress(progress)
        , m_cancelled(cancelled) {}

    void enterFolder(const QUrl&, int) override {}

    void visit(const Platform::DirectoryEntry& entry, int depth) override {
        if (!entry.isRegularFile || !detectAudioFormat(entry.location))
            return;
        if (!entry.hasUtf8Name) {
            m_portion.withoutUtf8Names.append(entry.location.toLocalFile());
            return;
        }
        if (m_search.m_recovery && isSaveLeftover(entry.location))
            m_foldersWithLeftovers.insert(folderOf(entry.location), depth - 1);
        // Below a resolved folder, every entry that is no link is resolved already.
        m_waiting.append({entry.location, !entry.isLink, depth - 1});
    }

    void leaveFolder(const QUrl&, int depth) override {
        for (auto folder = m_foldersWithLeftovers.begin(); folder != m_foldersWithLeftovers.end();) {
            if (folder.value() < depth) {
                ++folder;
                continue;
            }
            const auto concerns = [this, path = folder.key()](const QByteArray& name) {
                const QUrl file =
                    Platform::appendingPathComponent(QUrl::fromLocalFile(path), QFile::decodeName(name));
                return !m_search.m_taken.contains(Platform::canonicalLocation(file));
            };
            const auto readable = [this](const QString& path) { return m_search.readable(path); };
            for (const SaveRecoveryNote& note : recoverInterruptedSaves(folder.key(), concerns, readable)) {
                m_portion.recovered.append(note);
                // A file that was missing is there again.
                if (note.outcome == SaveRecoveryNote::Outcome::restored)
                    m_search.take(QUrl::fromLocalFile(note.file), false, m_portion);
            }
            folder = m_foldersWithLeftovers.erase(folder);
        }
        const auto done =
            std::stable_partition(m_waiting.begin(), m_waiting.end(),
                                  [depth](const Waiting& file) { return file.folderDepth < depth; });
        for (auto file = done; file != m_waiting.end(); ++file)
            m_search.take(file->location, file->canonical, m_portion);
        m_waiting.erase(done, m_waiting.end());
        m_progress();
    }

    bool stopped() const override { return m_cancelled && m_cancelled->load(); }

private:
    struct Waiting {
        QUrl location;
        bool canonical;
        int folderDepth;
    };

    ImportCandidates& m_search;
    Portion& m_portion;
    const std::function<void()>& m_progress;
    const std::atomic<bool>* m_cancelled;
    QList<Waiting> m_waiting;
    QHash<QString, int> m_foldersWithLeftovers; // with their depths
};

ImportCandidates::ImportCandidates(QList<QUrl> locations, const QList<QUrl>& loaded,
                                   const TagReader* recovery)
    : m_locations(std::move(locations))
    , m_recovery(recovery) {
    for (const QUrl& url : loaded)
        m_taken.insert(Platform::canonicalLocation(url));
}

bool ImportCandidates::readable(const QString& path) const {
    return m_recovery->read(QUrl::fromLocalFile(path)).ok();
}

void ImportCandidates::take(const QUrl& file, bool canonical, Portion& portion) {
    // Leftovers of saves end in their file's extension but are no songs.
    if (!detectAudioFormat(file) || isSaveLeftover(file))
        return;
    const QUrl resolved = canonical ? file : Platform::canonicalLocation(file);
    if (!m_taken.contains(resolved)) {
        m_taken.insert(resolved);
        portion.files.append(resolved);
    }
}

void ImportCandidates::run(const Found& found, const std::atomic<bool>* cancelled) {
    Portion portion;
    QList<std::optional<QUrl>> folders; // resolved, beside each location that is a folder
    for (const QUrl& location : std::as_const(m_locations)) {
        folders.append(std::nullopt);
        if (Platform::isDirectory(location) == Platform::DirectoryCheck::yes) {
            folders.last() = Platform::canonicalLocation(location);
            m_walkedFolders.append(folders.last()->toLocalFile() + u'/');
        } else if (!location.toLocalFile().contains(QChar::ReplacementCharacter) ||
                   Platform::exists(location)) {
            // A save writes through a link into its target, beside which its leftovers are.
            const QUrl target = Platform::canonicalLocation(location);
            m_namedFiles[folderOf(target)].insert(QFile::encodeName(Platform::lastPathComponent(target)));
        }
    }
    // Leftovers in the temporary folders may concern any file in the folders, so they are put right
    // before anything is read.
    if (m_recovery) {
        recoverElsewhere(portion);
        recoverNamed(portion);
    }

    // The first files go on as soon as they are known, later ones gathered for a while.
    constexpr qint64 gathering = 100; // ms
    QElapsedTimer sinceHandOver;
    sinceHandOver.start();
    bool handedOver = false;
    const std::function<void()> handOver = [&] {
        if (portion.files.isEmpty() || (handedOver && sinceHandOver.elapsed() < gathering))
            return;
        found(std::exchange(portion, {}));
        handedOver = true;
        sinceHandOver.restart();
    };
    for (qsizetype i = 0; i < m_locations.size(); ++i) {
        if (cancelled && cancelled->load())
            return;
        const QUrl& location = m_locations.at(i);
        if (folders.at(i)) {
            Walk walk(*this, portion, handOver, cancelled);
            Platform::walkRecursively(*folders.at(i), walk);
        } else if (location.toLocalFile().contains(QChar::ReplacementCharacter) &&
                   !Platform::exists(location)) {
            // Most likely a name of bytes that are not UTF-8, given by a dialog or a drop.
            portion.withoutUtf8Names.append(location.toLocalFile());
        } else {
            take(location, false, portion);
            handOver();
        }
    }
    if (!portion.isEmpty() && !(cancelled && cancelled->load()))
        found(std::move(portion));
}

ImportCandidates::Portion ImportCandidates::all() {
    Portion all;
    run([&all](Portion portion) {
        all.files += portion.files;
        all.recovered += portion.recovered;
        all.withoutUtf8Names += portion.withoutUtf8Names;
    });
    return all;
}

void ImportCandidates::recoverNamed(Portion& portion) {
    for (auto named = m_namedFiles.cbegin(); named != m_namedFiles.cend(); ++named) {
        const auto concerns = [&](const QByteArray& name) {
            const QUrl file =
                Platform::appendingPathComponent(QUrl::fromLocalFile(named.key()), QFile::decodeName(name));
            return named.value().contains(name) && !m_taken.contains(Platform::canonicalLocation(file));
        };
        portion.recovered += recoverInterruptedSaves(named.key(), concerns,
                                                     [this](const QString& path) { return readable(path); });
    }
}

// Saves of files in folders that are not writable leave theirs in a temporary folder, naming the file by its
// resolved path.
void ImportCandidates::recoverElsewhere(Portion& portion) {
    const auto concerns = [&](const QString& filePath) {
        const bool walked = std::any_of(m_walkedFolders.cbegin(), m_walkedFolders.cend(),
                                        [&](const QString& root) { return filePath.startsWith(root); });
        const bool named =
            m_namedFiles.value(folderOf(QUrl::fromLocalFile(filePath)))
                .contains(QFile::encodeName(Platform::lastPathComponent(QUrl::fromLocalFile(filePath))));
        return (walked || named) &&
               !m_taken.contains(Platform::canonicalLocation(QUrl::fromLocalFile(filePath)));
    };
    portion.recovered += recoverInterruptedSavesElsewhere(
        temporarySaveFolders(), concerns, [this](const QString& path) { return readable(path); });
}
