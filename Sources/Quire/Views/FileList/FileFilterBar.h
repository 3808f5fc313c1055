#pragma once

#include <QPointer>
#include <QWidget>

class DocumentViewModel;
class QLabel;
class QLineEdit;

// The filter field above the file list: what is typed becomes the document's
// filter text at once, and while it filters, "N of M files" beside it says how
// many files the list shows. Escape clears the field, and in an empty field
// hands the focus to the list.
class FileFilterBar : public QWidget {
    Q_OBJECT
public:
    FileFilterBar(DocumentViewModel* document, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    // "N of M files"; empty while nothing is filtered.
    QString countText() const;
    // Puts the focus in the field with its text selected, ready to be typed over.
    void focusField();

signals:
    // Escape in the empty field: the list should take the focus.
    void leaveRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_field;
    QLabel* m_count;
};
