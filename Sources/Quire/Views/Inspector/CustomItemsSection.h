#pragma once

#include "QuireCore/TagField.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

class DocumentViewModel;
class EditableTagSet;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class TagFieldBox;

// The selection's custom items (every item beyond the sixteen fields), one box a name in name order, each
// with a button that removes the item from the selected files, and a button that adds one. Items the
// layout already shows above are left out. A box keeps its place while it has focus, even when its item
// was just emptied away, so that retyping the value does not lose the box.
class CustomItemsSection : public QWidget {
    Q_OBJECT
public:
    explicit CustomItemsSection(DocumentViewModel* document, QWidget* parent = nullptr);

    // Names of custom items the layout shows in its own rows.
    void setShownElsewhere(const QStringList& names);
    void showState(const EditableTagSet* state);

    QStringList names() const;
    TagFieldBox* box(const QString& name) const;
    QToolButton* removeButton(const QString& name) const;
    QPushButton* addButton() const { return m_add; }
    QLabel* emptyNote() const { return m_empty; }

private:
    struct Row {
        QString name;
        QWidget* widget;
        TagFieldBox* box;
        QToolButton* remove;
    };
    Row makeRow(const QString& name);
    void remove(const QString& name);
    void askForItem();
    void refresh();

    QPointer<DocumentViewModel> m_document;
    QStringList m_shownElsewhere;
    QList<Row> m_rows;
    QVBoxLayout* m_rowsLayout = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_add = nullptr;
};

// Asks for the name and the value of a custom item to add to the selected files. A name that is one of
// the sixteen fields, or that cannot name an item, is refused with the reason; names show upper-cased.
class AddCustomItemDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddCustomItemDialog(DocumentViewModel* document, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* valueEdit() const { return m_value; }
    QPushButton* addButton() const { return m_add; }
    // Why the last name or value was refused; empty when none was.
    QString errorText() const;

    void accept() override;

private:
    void refuse(const QString& reason);

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_name;
    QLineEdit* m_value;
    QLabel* m_error;
    QPushButton* m_add;
};
