#include "Quire/Views/FileList/FileListView.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/Common/Alerts.h"
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
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QToolTip>
#include <cmath>
#include <memory>
#include <vector>

namespace {
const QString columnWidthsKey = QStringLiteral("fileList/columnWidths");
const QString extraColumnsKey = QStringLiteral("fileList/extraColumns");
const QString extraColumnWidthsKey = QStringLiteral("fileList/extraColumnWidths"); // by field name
const QString hiddenColumnsKey = QStringLiteral("fileList/hiddenColumns");         // by column key

// An extra column's widths: it starts at the first, resizable between the others.
constexpr int extraWidth = 120;
constexpr int extraMinWidth = 60;
constexpr int extraMaxWidth = 2000;

bool hasFixedColumn(const FieldKey& key) {
    for (int column = 0; column < FileListColumns::count; ++column) {
        if (key.field() && FileListColumns::fieldOf(FileListColumns::at(column).column) == key.field())
            return true;
    }
    return false;
}
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
    // Tab leaves the list for the next pane, keeping the selection; the arrows move between cells.
    setTabKeyNavigation(false);
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
    addAction(registry->action(Commands::selectAll));

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
    restoreExtraColumns();
    restoreHiddenColumns();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu* menu = createHeaderMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(horizontalHeader()->viewport()->mapToGlobal(position));
    });
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        clampSection(section, size);
        saveColumnWidths();
    });
}

// Widths out of a column's bounds, or saved for more columns than there are, are left alone; columns
// added since the widths were saved (they come last) keep theirs.
void FileListView::restoreColumnWidths() {
    const QVariantList widths = QSettings().value(columnWidthsKey).toList();
    if (widths.size() > FileListColumns::count)
        return;
    for (int column = 0; column < widths.size(); ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        bool ok = false;
        const int width = widths[column].toInt(&ok);
        if (ok && width >= info.minWidth && width <= info.maxWidth)
            horizontalHeader()->resizeSection(column, width);
    }
}

void FileListView::saveColumnWidths() const {
    // A hidden column has no width of its own: it keeps the one it had, to come back with.
    const QVariantList saved = QSettings().value(columnWidthsKey).toList();
    QVariantList widths;
    for (int column = 0; column < FileListColumns::count; ++column) {
        if (!horizontalHeader()->isSectionHidden(column))
            widths.append(horizontalHeader()->sectionSize(column));
        else
            widths.append(saved.value(column, FileListColumns::at(column).width));
    }
    QSettings().setValue(columnWidthsKey, widths);
    QVariantMap extraWidths = QSettings().value(extraColumnWidthsKey).toMap();
    for (int column = FileListColumns::count; column < m_model->columnCount(); ++column)
        extraWidths.insert(m_model->extraColumnAt(column)->name(), horizontalHeader()->sectionSize(column));
    QSettings().setValue(extraColumnWidthsKey, extraWidths);
}

// Names that no longer name an item, and fields with a fixed column, are left out.
void FileListView::restoreExtraColumns() {
    QList<FieldKey> keys;
    for (const QString& name : QSettings().value(extraColumnsKey).toStringList()) {
        const std::optional<FieldKey> key = FieldKey::fromName(name);
        if (key && !hasFixedColumn(*key) && !keys.contains(*key))
            keys.append(*key);
    }
    m_model->setExtraColumns(keys);
    const QVariantMap widths = QSettings().value(extraColumnWidthsKey).toMap();
    for (int column = FileListColumns::count; column < m_model->columnCount(); ++column) {
        const int width = widths.value(m_model->extraColumnAt(column)->name(), extraWidth).toInt();
        horizontalHeader()->resizeSection(column, std::clamp(width, extraMinWidth, extraMaxWidth));
    }
}

void FileListView::restoreHiddenColumns() {
    QSettings settings;
    QStringList hidden;
    if (settings.contains(hiddenColumnsKey)) {
        hidden = settings.value(hiddenColumnsKey).toStringList();
    } else {
        for (int column = 0; column < FileListColumns::count; ++column) {
            if (FileListColumns::isHiddenAtFirst(FileListColumns::at(column).column))
                hidden.append(QLatin1String(FileListColumns::at(column).key));
        }
    }
    for (int column = 0; column < FileListColumns::count; ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        horizontalHeader()->setSectionHidden(column, info.column != FileColumn::filename &&
                                                         hidden.contains(QLatin1String(info.key)));
    }
}

bool FileListView::isColumnShown(FileColumn wanted) const {
    for (int column = 0; column < FileListColumns::count; ++column) {
        if (FileListColumns::at(column).column == wanted)
            return !horizontalHeader()->isSectionHidden(column);
    }
    return false;
}

void FileListView::setColumnShown(FileColumn wanted, bool shown) {
    if (wanted == FileColumn::filename || isColumnShown(wanted) == shown)
        return;
    QStringList hidden;
    for (int column = 0; column < FileListColumns::count; ++column) {
        const ColumnInfo& info = FileListColumns::at(column);
        if (info.column == wanted)
            horizontalHeader()->setSectionHidden(column, !shown);
        if (horizontalHeader()->isSectionHidden(column))
            hidden.append(QLatin1String(info.key));
    }
    QSettings().setValue(hiddenColumnsKey, hidden);
}

void FileListView::setExtraColumnShown(const FieldKey& key, bool shown) {
    if (hasFixedColumn(key))
        return;
    QList<FieldKey> keys = m_model->extraColumns();
    if (shown == keys.contains(key))
        return;
    if (shown)
        keys.append(key);
    else
        keys.removeAll(key);
    // Widths go by field, so that the columns after a removed one keep theirs.
    QHash<QString, int> widths;
    for (int column = FileListColumns::count; column < m_model->columnCount(); ++column)
        widths.insert(m_model->extraColumnAt(column)->name(), horizontalHeader()->sectionSize(column));
    m_model->setExtraColumns(keys);
    for (int column = FileListColumns::count; column < m_model->columnCount(); ++column) {
        horizontalHeader()->resizeSection(column,
                                          widths.value(m_model->extraColumnAt(column)->name(), extraWidth));
    }
    QStringList names;
    for (const FieldKey& each : std::as_const(keys))
        names.append(each.name());
    QSettings().setValue(extraColumnsKey, names);
    applyDocumentSortOrder();
    applyDocumentSelection();
}

// The name a fixed column goes by in the header's menu, where a mark or "#" would not say what it is.
static QString menuTitle(const ColumnInfo& info) {
    switch (info.column) {
    case FileColumn::modified:
        return FileListView::tr("Unsaved Changes");
    case FileColumn::track:
        return displayName(TagField::trackNumber);
    default:
        return QCoreApplication::translate("FileListModel", info.title);
    }
}

QMenu* FileListView::createHeaderMenu() {
    auto* menu = new QMenu(this);
    for (int column = 0; column < FileListColumns::count; ++column) {
        const FileColumn fixed = FileListColumns::at(column).column;
        QAction* action = menu->addAction(menuTitle(FileListColumns::at(column)));
        action->setCheckable(true);
        action->setChecked(isColumnShown(fixed));
        // The list needs a column that names its files.
        action->setEnabled(fixed != FileColumn::filename);
        connect(action, &QAction::toggled, this, [this, fixed](bool on) { setColumnShown(fixed, on); });
    }
    menu->addSection(tr("Other Fields"));
    const QList<FieldKey>& shown = m_model->extraColumns();
    const auto addToggle = [&](const FieldKey& key) {
        QAction* action = menu->addAction(key.displayName());
        action->setCheckable(true);
        action->setChecked(shown.contains(key));
        connect(action, &QAction::toggled, this, [this, key](bool on) { setExtraColumnShown(key, on); });
    };
    for (TagField field : allTagFields) {
        if (!hasFixedColumn(field))
            addToggle(field);
    }
    QList<TagSet> sets;
    if (m_document) {
        for (const AudioFile& file : m_document->files())
            sets.append(file.tags());
    }
    QStringList customNames = TagSet::customNames(sets);
    for (const FieldKey& key : shown) {
        if (key.isCustom() && !customNames.contains(key.customName()))
            customNames.append(key.customName());
    }
    if (!customNames.isEmpty())
        menu->addSection(tr("Custom Items"));
    for (const QString& name : std::as_const(customNames))
        addToggle(FieldKey::custom(name));
    return menu;
}

void FileListView::clampSection(int section, int size) {
    if (m_clampingSection)
        return;
    const bool extra = section >= FileListColumns::count;
    const int minWidth = extra ? extraMinWidth : FileListColumns::at(section).minWidth;
    const int maxWidth = extra ? extraMaxWidth : FileListColumns::at(section).maxWidth;
    const int clamped = std::clamp(size, minWidth, maxWidth);
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
        if (header->isSectionHidden(column))
            continue;
        if (info.flexible) {
            fitting.append(column);
            fittingTotal += header->sectionSize(column);
            fittingMinimum += info.minWidth;
        } else {
            fixed += header->sectionSize(column);
        }
    }
    for (int column = FileListColumns::count; column < m_model->columnCount(); ++column)
        fixed += header->sectionSize(column);
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
    const int lastColumn = m_model->columnCount() - 1;
    bool differs = false;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom() && row < rowCount; ++row)
            current[static_cast<size_t>(row)] = 1;
        // Rows selected before a column was added lack its cells.
        differs = differs || range.left() > 0 || range.right() < lastColumn;
    }
    QItemSelection wanted;
    int runStart = -1;
    int firstSelected = -1;
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
        for (int column = 0; column < m_model->columnCount(); ++column) {
            const std::optional<SortDescriptor> shown = sortDescriptorFor(column);
            if (!shown || shown->key != descriptor.key || shown->field != descriptor.field)
                continue;
            m_applyingSortOrder = true;
            horizontalHeader()->setSortIndicator(column, descriptor.ascending ? Qt::AscendingOrder
                                                                              : Qt::DescendingOrder);
            m_applyingSortOrder = false;
            return;
        }
    }
}

// Ascending; none for a column that does not sort.
std::optional<SortDescriptor> FileListView::sortDescriptorFor(int section) const {
    if (const std::optional<FieldKey> key = m_model->extraColumnAt(section))
        return SortDescriptor{SortKey::field, true, *key};
    if (section < 0 || section >= FileListColumns::count)
        return std::nullopt;
    if (const std::optional<SortKey> key = FileListColumns::at(section).sortKey)
        return SortDescriptor{*key, true};
    return std::nullopt;
}

// A click on the primary column flips its direction; another column becomes
// the primary key, ascending, with the previous keys behind it.
void FileListView::sortByHeader(int section) {
    if (m_applyingSortOrder || !m_document)
        return;
    if (std::optional<SortDescriptor> clicked = sortDescriptorFor(section)) {
        const auto sameColumn = [&](const SortDescriptor& descriptor) {
            return descriptor.key == clicked->key && descriptor.field == clicked->field;
        };
        QList<SortDescriptor> order = m_document->sortOrder();
        clicked->ascending = order.isEmpty() || !sameColumn(order.first()) || !order.first().ascending;
        order.removeIf(sameColumn);
        order.prepend(*clicked);
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
    const std::unique_ptr<QMessageBox> alert(
        Alerts::create(QMessageBox::Warning, tr("Remove files with unsaved changes?"),
                       tr("%n of the selected files have unsaved tag changes, which will be discarded. "
                          "The files on disk aren't touched.",
                          nullptr, int(modified)),
                       this, tr("Remove from List")));
    QPushButton* remove = alert->addButton(tr("Remove"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(remove);
    alert->setEscapeButton(cancel);
    alert->exec();
    if (alert->clickedButton() == remove && m_document)
        m_document->removeSelectedFromList();
}

void FileListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    // The frameless list shows that it has the focus with a ring in the highlight colour.
    if (hasFocus()) {
        QPainter painter(viewport());
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
        pen.setWidth(2);
        painter.setPen(pen);
        painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
    }
}

void FileListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    viewport()->update();
}

void FileListView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    viewport()->update();
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

// F2 on a cell that cannot be edited (the marks, the duration…) renames the
// file: the key would otherwise do nothing where the keyboard left the focus.
bool FileListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (trigger == EditKeyPressed && index.isValid() && !(index.flags() & Qt::ItemIsEditable)) {
        const int filename = static_cast<int>(FileColumn::filename);
        const QModelIndex name = index.siblingAtColumn(filename);
        if (name.isValid() && name != index) {
            selectionModel()->setCurrentIndex(name, QItemSelectionModel::NoUpdate);
            return QTableView::edit(name, trigger, event);
        }
    }
    return QTableView::edit(index, trigger, event);
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
