#include "Quire/Views/FileList/FileListView.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/FileDrops.h"
#include "Quire/Views/FileList/CellEditorDelegate.h"
#include "Quire/Views/FileList/FileListModel.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QToolTip>
#include <cmath>
#include <vector>

namespace {
const QString columnWidthsKey = QStringLiteral("fileList/columnWidths");
} // namespace

FileListView::FileListView(DocumentViewModel* document, CommandCenter* commands,
                           const CommandRegistry* registry, QWidget* parent)
    : QTableView(parent)
    , m_document(document)
    , m_registry(registry)
    , m_model(new FileListModel(document, this)) {
    setModel(m_model);
    setItemDelegate(new CellEditorDelegate(m_model, this));
    setAccessibleName(tr("Files"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setContextMenuPolicy(Qt::CustomContextMenu);

    // One height for every row, so that the view never measures rows.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(std::max(20, fontMetrics().height() + 6));
    setUpColumns();

    // Their shortcuts act while the table has the focus.
    addAction(registry->action(Commands::copyTags));
    addAction(registry->action(Commands::pasteTags));

    connect(this, &QWidget::customContextMenuRequested, this, &FileListView::showContextMenu);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListView::takeSelectionFromTable);
    // Rows removed, inserted or reordered by the document carry the table's
    // selection along or drop it; the document's selection stays what it is,
    // and is applied once the rows have followed the change.
    connect(m_model, &FileListModel::followingStarted, this, [this] { m_applyingSelection = true; });
    connect(m_model, &FileListModel::followingFinished, this, [this] {
        m_applyingSelection = false;
        applyDocumentSelection();
    });
    connect(m_model, &FileListModel::inputRefused, this,
            [this](const QModelIndex& index, const QString& message) {
                QToolTip::showText(viewport()->mapToGlobal(visualRect(index).bottomLeft()), message, this);
            });
    connect(document, &DocumentViewModel::selectedFilesChanged, this, &FileListView::applyDocumentSelection);
    connect(document, &DocumentViewModel::sortOrderChanged, this, &FileListView::applyDocumentSortOrder);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int section) { sortByHeader(section); });
    if (commands)
        connect(commands, &CommandCenter::posted, this, &FileListView::handleCommand);
    applyDocumentSortOrder();
    applyDocumentSelection();
}

void FileListView::setUpColumns() {
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(16);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < FileListColumns::count; ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        header->resizeSection(column, info.width);
        if (info.column == FileColumn::modified)
            header->setSectionResizeMode(column, QHeaderView::Fixed);
    }
    restoreColumnWidths();
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        clampSection(section, size);
        saveColumnWidths();
    });
}

// Widths out of a column's bounds, or saved for another set of columns, are left alone.
void FileListView::restoreColumnWidths() {
    const QVariantList widths = QSettings().value(columnWidthsKey).toList();
    if (widths.size() != FileListColumns::count)
        return;
    for (int column = 0; column < FileListColumns::count; ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        bool ok = false;
        const int width = widths[column].toInt(&ok);
        if (ok && width >= info.minWidth && width <= info.maxWidth)
            horizontalHeader()->resizeSection(column, width);
    }
}

void FileListView::saveColumnWidths() const {
    QVariantList widths;
    for (int column = 0; column < FileListColumns::count; ++column)
        widths.append(horizontalHeader()->sectionSize(column));
    QSettings().setValue(columnWidthsKey, widths);
}

void FileListView::clampSection(int section, int size) {
    if (m_clampingSection)
        return;
    const ColumnInfo& info = FileListColumns::at(section);
    const int clamped = std::clamp(size, info.minWidth, info.maxWidth);
    if (clamped != size) {
        m_clampingSection = true;
        horizontalHeader()->resizeSection(section, clamped);
        m_clampingSection = false;
    }
}

// The name and tag columns share what the fixed columns leave, in proportion
// to their widths, never below their minimum widths.
void FileListView::fitColumnsToWidth() {
    QHeaderView* header = horizontalHeader();
    int fixed = 0;
    int fittingTotal = 0;
    int fittingMinimum = 0;
    QList<int> fitting;
    for (int column = 0; column < FileListColumns::count; ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        if (info.flexible) {
            fitting.append(column);
            fittingTotal += header->sectionSize(column);
            fittingMinimum += info.minWidth;
        } else {
            fixed += header->sectionSize(column);
        }
    }
    const int available = viewport()->width() - fixed;
    if (fitting.isEmpty())
        return;
    if (available < fittingMinimum) {
        for (int column : fitting)
            header->resizeSection(column, FileListColumns::at(column).minWidth);
        return;
    }
    if (fittingTotal <= 0)
        return;
    for (int column : fitting) {
        const double share = double(available) * header->sectionSize(column) / fittingTotal;
        header->resizeSection(column,
                              std::max(FileListColumns::at(column).minWidth, int(std::lround(share))));
    }
}

void FileListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // Fitted whenever the shown table changes width, so that the columns
    // follow the window; a column the user widened keeps its share.
    if (isVisible() && viewport()->width() > 0 && viewport()->width() != m_lastViewportWidth) {
        m_lastViewportWidth = viewport()->width();
        fitColumnsToWidth();
    }
}

void FileListView::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    if (viewport()->width() > 0 && viewport()->width() != m_lastViewportWidth) {
        m_lastViewportWidth = viewport()->width();
        fitColumnsToWidth();
    }
}

void FileListView::applyDocumentSelection() {
    if (!m_document || m_applyingSelection)
        return;
    const QSet<QUuid>& selected = m_document->selectedFiles();
    const int rowCount = m_model->rowCount();
    std::vector<char> current(static_cast<size_t>(rowCount), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom() && row < rowCount; ++row)
            current[static_cast<size_t>(row)] = 1;
    }
    QItemSelection wanted;
    bool differs = false;
    int runStart = -1;
    int firstSelected = -1;
    const int lastColumn = FileListColumns::count - 1;
    for (int row = 0; row <= rowCount; ++row) {
        const bool isSelected = row < rowCount && selected.contains(m_model->fileId(row));
        if (row < rowCount && bool(current[static_cast<size_t>(row)]) != isSelected)
            differs = true;
        if (isSelected && firstSelected < 0)
            firstSelected = row;
        if (isSelected && runStart < 0)
            runStart = row;
        if (!isSelected && runStart >= 0) {
            wanted.append(
                QItemSelectionRange(m_model->index(runStart, 0), m_model->index(row - 1, lastColumn)));
            runStart = -1;
        }
    }
    if (!differs)
        return;
    m_applyingSelection = true;
    selectionModel()->select(wanted, QItemSelectionModel::ClearAndSelect);
    if (firstSelected >= 0 && !selected.contains(m_model->fileId(currentIndex().row())))
        selectionModel()->setCurrentIndex(m_model->index(firstSelected, 1), QItemSelectionModel::NoUpdate);
    m_applyingSelection = false;
}

void FileListView::takeSelectionFromTable() {
    if (m_applyingSelection || !m_document)
        return;
    QSet<QUuid> ids;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            ids.insert(m_model->fileId(row));
    }
    ids.remove(QUuid());
    if (ids != m_document->selectedFiles())
        m_document->setSelectedFiles(ids);
}

void FileListView::applyDocumentSortOrder() {
    if (!m_document)
        return;
    for (const SortDescriptor& descriptor : m_document->sortOrder()) {
        if (const auto column = FileListColumns::columnFor(descriptor.key)) {
            m_applyingSortOrder = true;
            horizontalHeader()->setSortIndicator(*column, descriptor.ascending ? Qt::AscendingOrder
                                                                               : Qt::DescendingOrder);
            m_applyingSortOrder = false;
            return;
        }
    }
}

// A click on the primary column flips its direction; another column becomes
// the primary key, ascending, with the previous keys behind it.
void FileListView::sortByHeader(int section) {
    if (m_applyingSortOrder || !m_document)
        return;
    const std::optional<SortKey> key = FileListColumns::at(section).sortKey;
    if (key) {
        QList<SortDescriptor> order = m_document->sortOrder();
        const bool ascending = order.isEmpty() || order.first().key != *key || !order.first().ascending;
        order.removeIf([&](const SortDescriptor& descriptor) { return descriptor.key == *key; });
        order.prepend(SortDescriptor{*key, ascending});
        m_document->setSortOrder(order);
        m_document->sortFiles();
    }
    applyDocumentSortOrder();
}

void FileListView::handleCommand(const QString& name) {
    if (name == Commands::removeFromList)
        removeSelectedFromList();
}

QMenu* FileListView::createContextMenu(const QPoint& position) {
    const QModelIndex clicked = indexAt(position);
    if (clicked.isValid() && !selectionModel()->isRowSelected(clicked.row(), {})) {
        selectionModel()->setCurrentIndex(clicked,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    using namespace Commands;
    const QString separator = QStringLiteral("-");
    auto* menu = new QMenu(this);
    m_registry->addTo(menu,
                      {copyTags, pasteTags, separator, showCopyFieldSheet, showRenameSheet,
                       showNumberingSheet, separator, showTagsFromFilenameSheet, showTagsFromPathSheet,
                       separator, showFindReplaceSheet, showTextTransformSheet, separator, removeFromList});
    return menu;
}

void FileListView::showContextMenu(const QPoint& position) {
    QMenu* menu = createContextMenu(position);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(position));
}

void FileListView::removeSelectedFromList() {
    if (!m_document || m_document->selectedFiles().isEmpty())
        return;
    const QList<AudioFile> selected = m_document->selectedAudioFiles();
    const auto modified = std::count_if(selected.begin(), selected.end(),
                                        [](const AudioFile& file) { return file.isModified(); });
    if (modified == 0) {
        m_document->removeSelectedFromList();
        return;
    }
    QMessageBox alert(QMessageBox::Warning, QString(), tr("Remove files with unsaved changes?"),
                      QMessageBox::NoButton, window());
    alert.setWindowModality(Qt::WindowModal);
    alert.setInformativeText(tr("%n of the selected files have unsaved tag changes, which will be discarded. "
                                "The files on disk aren't touched.",
                                nullptr, int(modified)));
    QPushButton* remove = alert.addButton(tr("Remove"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert.addButton(tr("Cancel"), QMessageBox::RejectRole);
    alert.setDefaultButton(remove);
    alert.setEscapeButton(cancel);
    alert.exec();
    if (alert.clickedButton() == remove && m_document)
        m_document->removeSelectedFromList();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
        modifiers == Qt::NoModifier && state() != QAbstractItemView::EditingState) {
        removeSelectedFromList();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (FileDrops::carriesFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (FileDrops::carriesFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = FileDrops::fileUrls(event->mimeData());
    if (urls.isEmpty() || !m_document) {
        event->ignore();
        return;
    }
    m_document->importFiles(urls);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
