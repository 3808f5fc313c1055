#include "Quire/Views/FileList/FileListModel.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/Symbols.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>

namespace {

// An orange that reads on light and dark backgrounds.
const QColor modifiedOrange(255, 149, 0);

QColor secondaryTextColor() {
    return QApplication::palette().color(QPalette::PlaceholderText);
}

std::optional<TagField> tagFieldOf(FileColumn column) {
    switch (column) {
    case FileColumn::title:
        return TagField::title;
    case FileColumn::artist:
        return TagField::artist;
    case FileColumn::album:
        return TagField::album;
    case FileColumn::track:
        return TagField::trackNumber;
    default:
        return std::nullopt;
    }
}

} // namespace

FileListModel::FileListModel(DocumentViewModel* document, QObject* parent)
    : QAbstractTableModel(parent)
    , m_document(document)
    , m_rows(document->files())
    , m_numericFont(QFontDatabase::systemFont(QFontDatabase::FixedFont))
    , m_modifiedDot(Symbols::dot(modifiedOrange, 7)) {
    m_numericFont.setPointSizeF(QApplication::font().pointSizeF());
    connect(document, &DocumentViewModel::changed, this, &FileListModel::follow);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FileListColumns::count;
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
    }
    return {};
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= FileListColumns::count)
        return {};
    const AudioFile& file = m_rows[index.row()];
    const FileColumn column = FileListColumns::at(index.column()).column;

    if (column == FileColumn::modified) {
        if (!file.isModified())
            return {};
        switch (role) {
        case Qt::DecorationRole:
            return m_modifiedDot;
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return tr("Unsaved changes");
        default:
            return {};
        }
    }

    switch (role) {
    case Qt::DisplayRole: {
        const QString text = displayText(file, column);
        return text.isEmpty() ? QStringLiteral("—") : text;
    }
    case Qt::ToolTipRole: {
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
    if (orientation != Qt::Horizontal || section < 0 || section >= FileListColumns::count)
        return {};
    const ColumnInfo& info = FileListColumns::at(section);
    if (role == Qt::DisplayRole)
        return tr(info.title);
    if (role == Qt::ToolTipRole && info.column == FileColumn::modified)
        return tr("Unsaved changes");
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (FileListColumns::isEditable(FileListColumns::at(index.column()).column))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !m_document || !index.isValid() || index.row() >= m_rows.size())
        return false;
    const AudioFile file = m_rows[index.row()];
    const FileColumn column = FileListColumns::at(index.column()).column;
    const QString text = value.toString();
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
    case FileColumn::track: {
        const Result<bool, QString> edited = m_document->editField(*tagFieldOf(column), text, file.id());
        if (!edited)
            emit inputRefused(index, edited.error());
        return edited.ok();
    }
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
    apply(change);
}

void FileListModel::syncFiles() {
    m_needsSync = false;
    apply(DocumentChange::between(m_rows, m_document->files()));
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

void FileListModel::apply(const DocumentChange& change) {
    const QList<AudioFile>& files = m_document->files();
    if (change.isEmpty() && m_rows.size() == files.size())
        return;
    emit followingStarted();

    // Removed rows go first, last run first so that the rows before keep their numbers.
    if (!change.removed.isEmpty()) {
        QList<int> rows;
        for (int row = 0; row < m_rows.size(); ++row) {
            if (change.removed.contains(m_rows[row].id()))
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

    m_rows = files;
    QList<int> changedRows;
    if (!change.changed.isEmpty()) {
        for (int row = 0; row < m_rows.size(); ++row) {
            if (change.changed.contains(m_rows[row].id()))
                changedRows.append(row);
        }
    }
    for (const auto& [first, last] : runsOf(changedRows))
        emit dataChanged(index(first, 0), index(last, FileListColumns::count - 1));
    emit followingFinished();
}
