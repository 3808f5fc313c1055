#pragma once

#include <QLineEdit>
#include <QStyledItemDelegate>

class FileListModel;
class QLabel;

// The in-place editor of one cell: a line edit, with an optional suffix (the
// file name's extension) shown after the edited text and not editable.
class CellEditor : public QLineEdit {
    Q_OBJECT
public:
    explicit CellEditor(QWidget* parent = nullptr);
    void setSuffix(const QString& suffix);
    QString suffix() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeSuffix();
    QLabel* m_suffix;
};

// Edits cells in place and commits them through the model (and so through
// the document): Return commits, and a refused commit beeps and keeps the
// editor open; Escape cancels; leaving the editor commits whatever was typed
// and closes it, refused or not.
class CellEditorDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CellEditorDelegate(FileListModel* model, QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    FileListModel* m_model;
};
