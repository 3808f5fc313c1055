#pragma once

#include "Quire/ViewModels/DocumentTypes.h"
#include "Quire/Views/FileList/FileListColumns.h"

#include <QPointer>
#include <QTableView>

class CommandCenter;
class CommandRegistry;
class DocumentViewModel;
class FileListModel;
class QMenu;

// The table of the shown files: the main window's left pane, below the filter.
//
// It keeps one selection model in step with the document's selection both
// ways (guarded, so that a change coming from the document does not bounce
// back to it), shows the document's sort order in the header and turns header
// clicks into a new sort order, edits five columns and the extra ones in
// place, removes the selected files from the list on Delete or Backspace, and
// keeps its columns' widths, its hidden columns and its extra columns in the
// settings. The header's context menu shows or hides any column but the file
// name's, and an extra column for any other field or custom item; the table's context menu and the tag
// clipboard's keys are the command registry's actions.
class FileListView : public QTableView {
    Q_OBJECT
public:
    FileListView(DocumentViewModel* document, CommandCenter* commands, const CommandRegistry* registry,
                 QWidget* parent = nullptr);

    FileListModel* fileModel() const { return m_model; }
    // Builds the context menu for a click at `position` (viewport coordinates),
    // selecting the clicked row first when it is not selected.
    QMenu* createContextMenu(const QPoint& position);
    // Asks before dropping modified files from the list.
    void removeSelectedFromList();
    bool isEditingCell() const { return state() == QAbstractItemView::EditingState; }
    // The header's menu: the fields without a fixed column, then the custom
    // items of the loaded files and of the shown columns, each checked when shown.
    QMenu* createHeaderMenu();
    // Shows or hides an extra column (a fixed column's field is never one).
    void setExtraColumnShown(const FieldKey& key, bool shown);
    // Shows or hides a fixed column, remembered in the settings; the file name is always shown.
    void setColumnShown(FileColumn column, bool shown);
    bool isColumnShown(FileColumn column) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setUpColumns();
    void restoreColumnWidths();
    void restoreExtraColumns();
    void restoreHiddenColumns();
    void saveColumnWidths() const;
    void fitColumnsToWidth();
    void clampSection(int section, int size);
    void applyDocumentSelection();
    void takeSelectionFromTable();
    void applyDocumentSortOrder();
    void sortByHeader(int section);
    std::optional<SortDescriptor> sortDescriptorFor(int section) const;
    void handleCommand(const QString& name);
    void showContextMenu(const QPoint& position);

    QPointer<DocumentViewModel> m_document;
    const CommandRegistry* m_registry;
    FileListModel* m_model;
    bool m_applyingSelection = false;
    bool m_applyingSortOrder = false;
    bool m_clampingSection = false;
    int m_lastViewportWidth = 0;
};
