#include "QuireCore/FileMover.h"

#include "QuireCore/JsonDecoding.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// Reports at most about a hundred times a run: every report crosses threads.
class Steps {
public:
    Steps(const FileMover::Progress& progress, qint64 total)
        : m_progress(progress)
        , m_total(total)
        , m_stride(std::max<qint64>(1, total / 100)) {}
    void advance() {
        ++m_done;
        if (m_progress && (m_done % m_stride == 0 || m_done == m_total))
            m_progress(m_done, m_total);
    }

private:
    const FileMover::Progress& m_progress;
    qint64 m_total;
    qint64 m_stride;
    qint64 m_done = 0;
};

} // namespace

FileMover::FileMover(QSet<QString> madeFolders)
    : m_madeFolders(std::move(madeFolders)) {}

bool FileMover::containsIllegalFilenameCharacter(const QString& name) {
    static const QString illegal = QStringLiteral("/:\\*?\"<>|") + QChar(u'\0');
    return std::any_of(name.begin(), name.end(), [](QChar c) { return illegal.contains(c); });
}

bool FileMover::isSameFile(const QUrl& a, const QUrl& b) {
    const auto idA = Platform::resourceIdentifier(a);
    const auto idB = Platform::resourceIdentifier(b);
    if (idA && idB)
        return *idA == *idB;
    return Platform::pathsEqualIgnoringCaseAndDiacritics(Platform::standardizedLocation(a).toLocalFile(),
                                                         Platform::standardizedLocation(b).toLocalFile());
}

QUrl FileMover::parkingLocation(const QUrl& location) {
    return Platform::appendingPathComponent(
        Platform::deletingLastPathComponent(location),
        QStringLiteral(".%1.rename").arg(uuidText(QUuid::createUuid()).toUpper()));
}

bool FileMover::sameStandardizedLocation(const QUrl& a, const QUrl& b) {
    return Platform::standardizedLocation(a) == Platform::standardizedLocation(b);
}

std::optional<QString> FileMover::makeFolderFor(const QUrl& from, const QUrl& to) {
    const QString base = QFileInfo(from.toLocalFile()).path() + u'/';
    const QString folder = QFileInfo(to.toLocalFile()).path();
    if (QFileInfo::exists(folder) || !folder.startsWith(base))
        return std::nullopt;
    QStringList missing; // innermost first
    for (QString path = folder; path.startsWith(base) && !QFileInfo::exists(path);
         path = QFileInfo(path).path())
        missing.append(path);
    if (!QDir().mkpath(folder))
        return std::nullopt;
    for (const QString& path : std::as_const(missing))
        m_madeFolders.insert(path);
    return missing.last();
}

void FileMover::removeMadeFoldersIfEmpty() {
    QStringList folders(m_madeFolders.begin(), m_madeFolders.end());
    // Innermost first: a folder empties when the one inside it goes.
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : std::as_const(folders)) {
        if (!QFileInfo::exists(folder) || QDir().rmdir(folder))
            m_madeFolders.remove(folder);
    }
}

FileMoveOutcome FileMover::moveTogether(const QList<FileMove>& requested, const Progress& progress) {
    FileMoveOutcome outcome;
    struct Move {
        FileMove move;
        std::optional<QUrl> parked;
    };
    QList<Move> moves;
    for (const FileMove& move : requested) {
        outcome.locations.insert(move.id, move.from);
        if (!sameStandardizedLocation(move.from, move.to))
            moves.append({move, std::nullopt});
    }
    if (moves.isEmpty())
        return outcome;
    QHash<QUuid, QUrl>& live = outcome.locations;

    for (const Move& move : std::as_const(moves)) {
        if (!Platform::exists(move.move.to))
            continue;
        const bool freedByMove = std::any_of(moves.begin(), moves.end(), [&](const Move& other) {
            return isSameFile(other.move.from, move.move.to);
        });
        if (!freedByMove) {
            outcome.failure = FileMoveOutcome::Failure{
                FileMoveOutcome::Failure::Kind::targetTaken, move.move.from, move.move.to, {}};
            return outcome;
        }
    }

    auto rollBack = [&](const Move& failed, const Platform::FileError& error) {
        // Back to the parking names first, so that no file's old name is still taken by another one.
        for (Move& move : moves) {
            const QUrl now = live[move.move.id];
            if (move.parked && now != *move.parked && Platform::moveItem(now, *move.parked).ok())
                live[move.move.id] = *move.parked;
        }
        for (Move& move : moves) {
            if (move.parked && Platform::moveItem(live[move.move.id], move.move.from).ok())
                live[move.move.id] = move.move.from;
        }
        removeMadeFoldersIfEmpty();
        outcome.failure = FileMoveOutcome::Failure{FileMoveOutcome::Failure::Kind::moveFailed,
                                                   failed.move.from, failed.move.to, error.description};
        return outcome;
    };

    Steps steps(progress, 2 * moves.size());
    for (Move& move : moves) {
        const QUrl parked = parkingLocation(move.move.from);
        const Platform::FileResult result = Platform::moveItem(move.move.from, parked);
        if (!result.ok())
            return rollBack(move, *result.error);
        move.parked = parked;
        live[move.move.id] = parked;
        steps.advance();
    }
    for (Move& move : moves) {
        makeFolderFor(move.move.from, move.move.to); // a redo into a folder an undo removed
        const Platform::FileResult result = Platform::moveItem(*move.parked, move.move.to);
        if (!result.ok())
            return rollBack(move, *result.error);
        live[move.move.id] = move.move.to;
        steps.advance();
    }
    return outcome;
}

FileMoveOutcome FileMover::moveEachOnItsOwn(const QList<FileMove>& moves, const Progress& progress) {
    FileMoveOutcome outcome;
    Steps steps(progress, moves.size());
    for (const FileMove& move : moves) {
        outcome.locations.insert(move.id, move.from);
        if (!sameStandardizedLocation(move.from, move.to)) {
            const std::optional<QString> madeFolder = makeFolderFor(move.from, move.to);
            const Platform::FileResult result = Platform::moveItem(move.from, move.to);
            if (result.ok()) {
                outcome.locations.insert(move.id, move.to);
            } else {
                outcome.failedMoves.insert(move.id, *result.error);
                if (madeFolder)
                    removeMadeFoldersIfEmpty();
            }
        }
        steps.advance();
    }
    return outcome;
}
