#include "Quire/Views/FileList/FileListModel.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/FieldInput.h"
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
    connect(document, &DocumentViewModel::filesChanged, this, &FileListModel::syncFiles);
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
        return row.trackNumber() ? QString::number(*row.trackNumber()) : QString();
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
    case FileColumn::filename:
        return m_document->renameFile(file.id(), text) != FileRenameResult::failed;
    case FileColumn::title:
    case FileColumn::artist:
    case FileColumn::album:
        m_document->updateField(*tagFieldOf(column), text.isEmpty() ? std::nullopt : std::optional(text),
                                file.id());
        return true;
    case FileColumn::track:
        return commitTrackNumber(file, text);
    default:
        return false;
    }
}

// A number a tag can hold, or "number/total", as everywhere values are typed;
// numbers outside 0...2147483647 are refused here rather than failing the save later.
bool FileListModel::commitTrackNumber(const AudioFile& file, const QString& text) {
    const Result<QList<FieldEdit>, QString> edits = parseFieldInput(TagField::trackNumber, text);
    if (!edits)
        return false;
    for (const FieldEdit& edit : edits.value())
        m_document->updateField(edit.field, edit.value, file.id());
    return true;
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

void FileListModel::syncFiles() {
    if (!m_document)
        return;
    if (m_openEditors > 0) {
        m_needsSync = true;
        return;
    }
    m_needsSync = false;
    const QList<AudioFile>& files = m_document->files();
    const qsizetype kept = std::min(m_rows.size(), files.size());
    // Rows whose record is still shared are unchanged: a pointer comparison.
    bool sameOrder = files.size() >= m_rows.size();
    for (qsizetype row = 0; sameOrder && row < kept; ++row)
        sameOrder = m_rows[row].sharesStorageWith(files[row]) || m_rows[row].id() == files[row].id();
    if (!sameOrder) {
        beginResetModel();
        m_rows = files;
        endResetModel();
        return;
    }

    // Rows in place: tell the view which of them changed, in contiguous runs.
    QList<std::pair<int, int>> changedRuns;
    for (qsizetype row = 0; row < kept; ++row) {
        if (m_rows[row].sharesStorageWith(files[row]) || m_rows[row] == files[row])
            continue;
        if (!changedRuns.isEmpty() && changedRuns.last().second == row - 1)
            changedRuns.last().second = static_cast<int>(row);
        else
            changedRuns.append({static_cast<int>(row), static_cast<int>(row)});
    }
    if (files.size() > m_rows.size()) {
        beginInsertRows({}, static_cast<int>(m_rows.size()), static_cast<int>(files.size() - 1));
        m_rows = files;
        endInsertRows();
    } else {
        m_rows = files;
    }
    for (const auto& [first, last] : changedRuns)
        emit dataChanged(index(first, 0), index(last, FileListColumns::count - 1));
}
