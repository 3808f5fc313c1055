#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A hidden, unique name in the file's folder, for two-step moves.
QUrl parkingLocation(const QUrl& location) {
    return Platform::appendingPathComponent(
        Platform::deletingLastPathComponent(location),
        QStringLiteral(".%1.rename").arg(uuidText(QUuid::createUuid()).toUpper()));
}

bool sameStandardizedLocation(const QUrl& a, const QUrl& b) {
    return Platform::standardizedLocation(a) == Platform::standardizedLocation(b);
}

// The typed name without surrounding blanks and without the file's own extension.
QString cleanedBaseName(const QString& typed, const QString& extension) {
    QString name = typed.trimmed();
    if (!extension.isEmpty() && name.toLower().endsWith(u'.' + extension.toLower()))
        name = name.chopped(extension.size() + 1).trimmed();
    return name;
}

} // namespace

bool DocumentViewModel::containsIllegalFilenameCharacter(const QString& name) {
    static const QString illegal = QStringLiteral("/:\\*?\"<>|") + QChar(u'\0');
    return std::any_of(name.begin(), name.end(), [](QChar c) { return illegal.contains(c); });
}

bool DocumentViewModel::isSameFile(const QUrl& a, const QUrl& b) {
    const auto idA = Platform::resourceIdentifier(a);
    const auto idB = Platform::resourceIdentifier(b);
    if (idA && idB)
        return *idA == *idB;
    return Platform::pathsEqualIgnoringCaseAndDiacritics(Platform::standardizedLocation(a).toLocalFile(),
                                                         Platform::standardizedLocation(b).toLocalFile());
}

FileRenameResult DocumentViewModel::renameFile(const QUuid& id, const QString& typedName) {
    ASSERT_GUI_THREAD();
    if (m_isSaving)
        return FileRenameResult::failed;
    const qsizetype index = indexOfFile(id);
    if (index < 0)
        return FileRenameResult::failed;
    const QUrl current = m_files[index].url();
    const QString extension = Platform::pathExtension(current);
    const QString base = cleanedBaseName(typedName, extension);
    if (base.isEmpty() || base == u"." || base == u".." || containsIllegalFilenameCharacter(base))
        return FileRenameResult::failed;

    const QString newName = extension.isEmpty() ? base : base + u'.' + extension;
    const QUrl target =
        Platform::appendingPathComponent(Platform::deletingLastPathComponent(current), newName);
    if (sameStandardizedLocation(target, current))
        return FileRenameResult::unchanged;

    if (!Platform::exists(target)) {
        if (!Platform::moveItem(current, target).ok())
            return FileRenameResult::failed;
    } else {
        // Only the same file may sit there: a name differing in a way the volume ignores.
        if (!isSameFile(current, target))
            return FileRenameResult::failed;
        const QUrl parked = parkingLocation(current);
        if (!Platform::moveItem(current, parked).ok())
            return FileRenameResult::failed;
        if (!Platform::moveItem(parked, target).ok()) {
            (void)Platform::moveItem(parked, current);
            return FileRenameResult::failed;
        }
    }

    // The step holds the list as it was, with the file at its old location.
    QList<AudioFile> files = m_files;
    files[index].setUrl(target);
    commit(tr("Rename %1").arg(Platform::lastPathComponent(current)), files);
    return FileRenameResult::done;
}

std::optional<QString> DocumentViewModel::makeFolderFor(const QUrl& from, const QUrl& to) {
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

void DocumentViewModel::removeMadeFoldersIfEmpty() {
    QStringList folders(m_madeFolders.begin(), m_madeFolders.end());
    // Innermost first: a folder empties when the one inside it goes.
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : std::as_const(folders)) {
        if (!QFileInfo::exists(folder) || QDir().rmdir(folder))
            m_madeFolders.remove(folder);
    }
}

DocumentViewModel::LocationMap DocumentViewModel::reconcileRenamesOnDisk(const QList<AudioFile>& current,
                                                                         const QList<AudioFile>& target) {
    ASSERT_GUI_THREAD();
    LocationMap currentLocations;
    for (const AudioFile& file : current)
        currentLocations.insert(file.id(), file.url());

    struct Move {
        QUuid id;
        QUrl from;
        QUrl to;
        std::optional<QUrl> parked;
    };
    QList<Move> moves;
    for (const AudioFile& file : target) {
        const auto it = currentLocations.constFind(file.id());
        if (it != currentLocations.constEnd() && !sameStandardizedLocation(file.url(), it.value()))
            moves.append({file.id(), it.value(), file.url(), std::nullopt});
    }
    LocationMap live = currentLocations;
    if (moves.isEmpty())
        return live;

    // A target may be taken only by a file this run moves away (an exchange of
    // names) or by the file itself (a change of letter case).
    for (const Move& move : std::as_const(moves)) {
        if (!Platform::exists(move.to))
            continue;
        const bool freedByMove = std::any_of(
            moves.begin(), moves.end(), [&](const Move& other) { return isSameFile(other.from, move.to); });
        if (!freedByMove) {
            postNotice(Notice::Kind::rename,
                       tr("Couldn’t undo or redo the rename because %1 already exists. No files were moved.")
                           .arg(Platform::lastPathComponent(move.to)),
                       {move.from.toLocalFile()});
            return live;
        }
    }

    auto rollBack = [&](const Platform::FileError& error) {
        for (Move& move : moves) {
            if (move.parked && live[move.id] != *move.parked &&
                Platform::moveItem(live[move.id], *move.parked).ok())
                live[move.id] = *move.parked;
        }
        for (Move& move : moves) {
            if (move.parked && Platform::moveItem(live[move.id], move.from).ok())
                live[move.id] = move.from;
        }
        QStringList paths;
        for (const Move& move : std::as_const(moves))
            paths.append(live[move.id].toLocalFile());
        postNotice(Notice::Kind::rename,
                   tr("Couldn’t finish undoing or redoing the rename: %1\nYour files are at:\n%2")
                       .arg(error.description, paths.join(u'\n')),
                   paths);
        return live;
    };

    for (Move& move : moves) {
        const QUrl parked = parkingLocation(move.from);
        const Platform::FileResult result = Platform::moveItem(move.from, parked);
        if (!result.ok())
            return rollBack(*result.error);
        move.parked = parked;
        live[move.id] = parked;
    }
    for (Move& move : moves) {
        makeFolderFor(move.from, move.to); // a redo into a folder an undo removed
        const Platform::FileResult result = Platform::moveItem(*move.parked, move.to);
        if (!result.ok())
            return rollBack(*result.error);
        live[move.id] = move.to;
    }
    return live;
}
