#include "Quire/Views/FileList/FileListModel.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPalette>

namespace {

// An orange that reads on light and dark backgrounds.
const QColor modifiedOrange(255, 149, 0);

QColor secondaryTextColor() {
    return QApplication::palette().color(QPalette::PlaceholderText);
}

// The home folder shows as "~", as a shell shows it.
QString shownFolder(QStringView folder) {
    const QString home = QDir::homePath();
    if (folder == home)
        return QStringLiteral("~");
    if (folder.startsWith(home) && folder.mid(home.size()).startsWith(u'/'))
        return u'~' + folder.mid(home.size()).toString();
    return QDir::toNativeSeparators(folder.toString());
}

} // namespace

FileListModel::FileListModel(DocumentViewModel* document, QObject* parent)
    : QAbstractTableModel(parent)
    , m_document(document)
    , m_rows(document->shownFiles())
    , m_numericFont(QFontDatabase::systemFont(QFontDatabase::FixedFont))
    , m_modifiedDot(Symbols::dot(modifiedOrange, 7))
    , m_readInPartMark(Symbols::icon(QStringLiteral("exclamationmark.triangle")).pixmap(12)) {
    m_numericFont.setPointSizeF(QApplication::font().pointSizeF());
    m_textInNumberFont = m_numericFont;
    m_textInNumberFont.setItalic(true);
    connect(document, &DocumentViewModel::changed, this, &FileListModel::follow);
    connect(document, &DocumentViewModel::filterChanged, this, [this] {
        if (m_openEditors > 0)
            m_needsSync = true;
        else
            syncFiles(true);
    });
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FileListColumns::count + int(m_extraColumns.size());
}

void FileListModel::setExtraColumns(const QList<FieldKey>& keys) {
    if (keys == m_extraColumns)
        return;
    if (!m_extraColumns.isEmpty()) {
        beginRemoveColumns({}, FileListColumns::count,
                           FileListColumns::count + int(m_extraColumns.size()) - 1);
        m_extraColumns.clear();
        endRemoveColumns();
    }
    if (!keys.isEmpty()) {
        beginInsertColumns({}, FileListColumns::count, FileListColumns::count + int(keys.size()) - 1);
        m_extraColumns = keys;
        endInsertColumns();
    }
}

std::optional<FieldKey> FileListModel::extraColumnAt(int column) const {
    const qsizetype extra = column - FileListColumns::count;
    if (extra < 0 || extra >= m_extraColumns.size())
        return std::nullopt;
    return m_extraColumns[extra];
}

// A number field holding text ("A1") is shown as stored, in italics, and said to be no number.
QVariant FileListModel::numberMark(const AudioFile& file, std::optional<TagField> field, int role) const {
    if (!field || !file.tags().holdsTextForNumber(*field))
        return {};
    const QString text = file.tags().value(*field).value_or(QString());
    switch (role) {
    case Qt::ToolTipRole:
        return tr("“%1” is not a number; it is kept as stored.").arg(text);
    case Qt::AccessibleTextRole:
        return tr("%1, not a number").arg(text);
    case Qt::FontRole:
        return m_textInNumberFont;
    default:
        return {};
    }
}

QVariant FileListModel::extraData(const AudioFile& file, const FieldKey& key, int role) const {
    const QString text = file.tags().value(key).value_or(QString());
    if (QVariant mark = numberMark(file, key.field(), role); mark.isValid())
        return mark;
    switch (role) {
    case Qt::DisplayRole:
        return text.isEmpty() ? QStringLiteral("—") : text;
    case Qt::ToolTipRole:
        return text.isEmpty() ? QVariant() : QVariant(text);
    case Qt::EditRole:
        return text;
    case Qt::ForegroundRole:
        return text.isEmpty() ? QVariant(secondaryTextColor()) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case FileIdRole:
        return file.id();
    default:
        return {};
    }
}

QString FileListModel::displayText(const AudioFile& file, FileColumn column) const {
    const AudioFileRow row{file};
    switch (column) {
    case FileColumn::modified:
        return {};
    case FileColumn::filename:
        return row.filename();
    case FileColumn::title:
        return row.title().value_or(QString());
    case FileColumn::artist:
        return row.artist().value_or(QString());
    case FileColumn::album:
        return row.album().value_or(QString());
    case FileColumn::track:
        return row.trackNumber().value_or(QString());
    case FileColumn::duration:
        return row.duration();
    case FileColumn::format:
        return row.format();
    case FileColumn::bitrate:
        return row.bitrate();
    case FileColumn::sampleRate:
        return row.sampleRate();
    case FileColumn::folder:
        return shownFolder(file.folder());
    }
    return {};
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const AudioFile& file = m_rows[index.row()];
    if (const std::optional<FieldKey> key = extraColumnAt(index.column()))
        return extraData(file, *key, role);
    if (index.column() >= FileListColumns::count)
        return {};
    const FileColumn column = FileListColumns::at(index.column()).column;

    if (column == FileColumn::modified) {
        if (!file.isModified() && !file.isReadInPart())
            return role == Qt::AccessibleTextRole ? QVariant(tr("Unchanged")) : QVariant(); // said, not shown
        switch (role) {
        case Qt::DecorationRole:
            // The warning outweighs the dot; the tooltip tells both.
            return file.isReadInPart() ? m_readInPartMark : m_modifiedDot;
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole: {
            QStringList marks;
            if (file.isReadInPart())
                marks.append(tr("Its tags could only partly be read; saves that would lose the damaged part "
                                "are refused."));
            if (file.isModified())
                marks.append(tr("Unsaved changes"));
            return marks.join(u'\n');
        }
        default:
            return {};
        }
    }

    if (QVariant mark = numberMark(file, FileListColumns::fieldOf(column), role); mark.isValid())
        return mark;

    switch (role) {
    case Qt::DisplayRole: {
        const QString text = displayText(file, column);
        return text.isEmpty() ? QStringLiteral("—") : text;
    }
    case Qt::ToolTipRole: {
        // A name alone does not say which of two folders' "01 Intro.flac" a row is.
        if (column == FileColumn::filename)
            return QDir::toNativeSeparators(file.path());
        if (column == FileColumn::folder)
            return QDir::toNativeSeparators(file.folder().toString());
        const QString text = displayText(file, column);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::EditRole:
        if (column == FileColumn::filename)
            return file.filenameWithoutExtension();
        return displayText(file, column);
    case SuffixRole: {
        if (column != FileColumn::filename)
            return QString();
        const QString extension = file.filename().mid(file.filenameWithoutExtension().size());
        return extension;
    }
    case Qt::ForegroundRole:
        if (FileListColumns::isSecondary(column) || displayText(file, column).isEmpty())
            return secondaryTextColor();
        return {};
    case Qt::FontRole:
        if (FileListColumns::isNumeric(column))
            return m_numericFont;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case FileIdRole:
        return file.id();
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0)
        return {};
    if (const std::optional<FieldKey> key = extraColumnAt(section)) {
        if (role == Qt::DisplayRole)
            return key->displayName();
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    if (section >= FileListColumns::count)
        return {};
    const ColumnInfo& info = FileListColumns::at(section);
    if (role == Qt::DisplayRole)
        return tr(info.title);
    if (role == Qt::ToolTipRole && info.column == FileColumn::modified)
        return tr("Unsaved changes");
    // The mark column has no title to show, but one to say.
    if (role == Qt::AccessibleTextRole && info.column == FileColumn::modified)
        return tr("Modified");
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (extraColumnAt(index.column()) ||
        (index.column() < FileListColumns::count &&
         FileListColumns::isEditable(FileListColumns::at(index.column()).column)))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !m_document || !index.isValid() || index.row() >= m_rows.size())
        return false;
    const AudioFile file = m_rows.at(index.row());
    const QString text = value.toString();
    const auto edit = [&](const FieldKey& key) {
        const Result<bool, QString> edited = m_document->editField(key, text, file.id());
        if (!edited)
            emit inputRefused(index, edited.error());
        return edited.ok();
    };
    if (const std::optional<FieldKey> key = extraColumnAt(index.column()))
        return edit(*key);
    if (index.column() >= FileListColumns::count)
        return false;
    const FileColumn column = FileListColumns::at(index.column()).column;
    switch (column) {
    case FileColumn::filename: {
        const Result<FileRenameResult, QString> renamed = m_document->renameFile(file.id(), text);
        if (!renamed)
            emit inputRefused(index, renamed.error());
        return renamed.ok();
    }
    case FileColumn::title:
    case FileColumn::artist:
    case FileColumn::album:
    case FileColumn::track:
        return edit(*FileListColumns::fieldOf(column));
    default:
        return false;
    }
}

QUuid FileListModel::fileId(int row) const {
    return row >= 0 && row < m_rows.size() ? m_rows[row].id() : QUuid();
}

void FileListModel::beginCellEdit() {
    ++m_openEditors;
}

void FileListModel::endCellEdit() {
    if (m_openEditors > 0)
        --m_openEditors;
    if (m_openEditors == 0 && m_needsSync)
        syncFiles();
}

void FileListModel::follow(const DocumentChange& change) {
    if (!m_document)
        return;
    if (m_openEditors > 0) {
        // The rows stay put under an open editor; what changed meanwhile is
        // worked out from the rows when it closes.
        m_needsSync = true;
        return;
    }
    // The rows are the shown files: while a filter is on, the document's change is not theirs.
    if (m_document->isFiltering() || change.isEmpty())
        syncFiles();
    else
        apply(change, m_document->files());
}

void FileListModel::syncFiles(bool newFilter) {
    m_needsSync = false;
    const QList<AudioFile> shown = m_document->shownFiles();
    apply(DocumentChange::between(m_rows, shown), shown, newFilter);
}

// Contiguous runs of rows, first to last.
static QList<std::pair<int, int>> runsOf(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    QList<std::pair<int, int>> runs;
    for (int row : std::as_const(rows)) {
        if (!runs.isEmpty() && runs.last().second == row - 1)
            runs.last().second = row;
        else
            runs.append({row, row});
    }
    return runs;
}

void FileListModel::apply(const DocumentChange& change, const QList<AudioFile>& files, bool mayReset) {
    if (change.isEmpty() && m_rows.size() == files.size())
        return;
    // Rows that only change in place leave the table's selection as it is.
    const bool rowsMove = !change.removed.isEmpty() || !change.added.isEmpty() || change.reordered ||
                          m_rows.size() != files.size();
    if (rowsMove)
        emit followingStarted();

    // A new filter text may hide or show every other row of a large list:
    // thousands of scattered runs cost the view far more than one reset, and
    // the rows shown are a new list anyway.
    if (mayReset) {
        constexpr qsizetype mostRunsFollowed = 200;
        QList<int> removedRows, addedRows;
        for (int row = 0; row < m_rows.size(); ++row) {
            if (change.removed.contains(m_rows.at(row).id()))
                removedRows.append(row);
        }
        for (int row = 0; row < files.size(); ++row) {
            if (change.added.contains(files[row].id()))
                addedRows.append(row);
        }
        if (runsOf(removedRows).size() + runsOf(addedRows).size() > mostRunsFollowed) {
            beginResetModel();
            m_rows = files;
            endResetModel();
            emit followingFinished();
            return;
        }
    }

    // Removed rows go first, last run first so that the rows before keep their numbers.
    if (!change.removed.isEmpty()) {
        QList<int> rows;
        for (int row = 0; row < m_rows.size(); ++row) {
            if (change.removed.contains(m_rows.at(row).id()))
                rows.append(row);
        }
        const QList<std::pair<int, int>> runs = runsOf(rows);
        for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
            beginRemoveRows({}, run->first, run->second);
            m_rows.remove(run->first, run->second - run->first + 1);
            endRemoveRows();
        }
    }

    // The rows kept, in their new order; persistent indexes (the selection,
    // the current row) move with their files.
    if (change.reordered) {
        QList<AudioFile> kept;
        kept.reserve(m_rows.size());
        for (const AudioFile& file : files) {
            if (!change.added.contains(file.id()))
                kept.append(file);
        }
        QHash<QUuid, int> newRow;
        newRow.reserve(kept.size());
        for (int row = 0; row < kept.size(); ++row)
            newRow.insert(kept[row].id(), row);
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before) {
            const int row = newRow.value(m_rows.value(index.row()).id(), -1);
            after.append(row < 0 ? QModelIndex() : createIndex(row, index.column()));
        }
        m_rows = kept;
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    // Added rows, in runs from the top: the rows above each run are then in place.
    if (!change.added.isEmpty()) {
        QList<int> rows;
        for (int row = 0; row < files.size(); ++row) {
            if (change.added.contains(files[row].id()))
                rows.append(row);
        }
        for (const auto& [first, last] : runsOf(rows)) {
            beginInsertRows({}, first, last);
            m_rows.insert(first, last - first + 1, AudioFile());
            for (int row = first; row <= last; ++row)
                m_rows[row] = files[row];
            endInsertRows();
        }
    }

    // The rows now stand as the files do; a changed file's record is another.
    const QList<AudioFile> previous = std::exchange(m_rows, files);
    QList<int> changedRows;
    if (!change.changed.isEmpty()) {
        for (int row = 0; row < m_rows.size(); ++row) {
            if ((row >= previous.size() || !m_rows.at(row).sharesStorageWith(previous[row])) &&
                change.changed.contains(m_rows.at(row).id()))
                changedRows.append(row);
        }
    }
    // Thousands of scattered rows (a save of every tenth file) are one span
    // for the view: it repaints what it shows either way.
    constexpr qsizetype mostChangedRuns = 200;
    const QList<std::pair<int, int>> changedRuns = runsOf(changedRows);
    if (changedRuns.size() > mostChangedRuns)
        emit dataChanged(index(changedRuns.first().first, 0),
                         index(changedRuns.last().second, columnCount() - 1));
    else
        for (const auto& [first, last] : changedRuns)
            emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    if (rowsMove)
        emit followingFinished();
}
