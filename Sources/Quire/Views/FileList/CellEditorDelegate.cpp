#include "Quire/Views/FileList/CellEditorDelegate.h"

#include "Quire/Views/FileList/FileListModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPersistentModelIndex>
#include <QPointer>

namespace {
const char* const editedIndexProperty = "cadenzaEditedIndex";
constexpr int suffixGap = 2;
} // namespace

CellEditor::CellEditor(QWidget* parent)
    : QLineEdit(parent)
    , m_suffix(new QLabel(this)) {
    m_suffix->setForegroundRole(QPalette::PlaceholderText);
    m_suffix->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_suffix->hide();
}

void CellEditor::setSuffix(const QString& suffix) {
    m_suffix->setText(suffix);
    m_suffix->setVisible(!suffix.isEmpty());
    placeSuffix();
}

QString CellEditor::suffix() const {
    return m_suffix->text();
}

void CellEditor::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeSuffix();
}

// The edited text ends where the suffix begins.
void CellEditor::placeSuffix() {
    if (m_suffix->text().isEmpty()) {
        setTextMargins(0, 0, 0, 0);
        return;
    }
    m_suffix->setFont(font());
    const int width = m_suffix->fontMetrics().horizontalAdvance(m_suffix->text()) + 4;
    m_suffix->setGeometry(this->width() - width - suffixGap, 0, width, height());
    setTextMargins(0, 0, width + suffixGap, 0);
}

CellEditorDelegate::CellEditorDelegate(FileListModel* model, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_model(model) {}

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    auto* editor = new CellEditor(parent);
    editor->setFrame(false);
    editor->setFont(option.font);
    if (const QVariant font = index.data(Qt::FontRole); font.isValid())
        editor->setFont(font.value<QFont>());
    editor->setProperty(editedIndexProperty, QVariant::fromValue(QPersistentModelIndex(index)));
    m_model->beginCellEdit();
    return editor;
}

// The document's changes made while the editor was open are applied once the
// view has let go of the editor.
void CellEditorDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    QStyledItemDelegate::destroyEditor(editor, index);
    QMetaObject::invokeMethod(
        m_model,
        [model = QPointer<FileListModel>(m_model)] {
            if (model)
                model->endCellEdit();
        },
        Qt::QueuedConnection);
}

void CellEditorDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* cell = qobject_cast<CellEditor*>(editor);
    if (!cell)
        return;
    // Only once: the model's rows stay put while the editor is open.
    if (cell->property("cadenzaFilled").toBool())
        return;
    cell->setProperty("cadenzaFilled", true);
    cell->setText(index.data(Qt::EditRole).toString());
    cell->setSuffix(index.data(FileListModel::SuffixRole).toString());
    cell->selectAll();
}

void CellEditorDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const {
    if (auto* cell = qobject_cast<CellEditor*>(editor))
        model->setData(index, cell->text(), Qt::EditRole);
}

void CellEditorDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

bool CellEditorDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* cell = qobject_cast<CellEditor*>(object);
    if (cell && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const auto index = cell->property(editedIndexProperty).value<QPersistentModelIndex>();
            if (!index.isValid() || !m_model->setData(index, cell->text(), Qt::EditRole)) {
                QApplication::beep();
                return true;
            }
            emit closeEditor(cell, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
