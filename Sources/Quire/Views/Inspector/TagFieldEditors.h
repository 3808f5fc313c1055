#pragma once

#include "QuireCore/InspectorLayout.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

class DocumentViewModel;
class EditableTagSet;
class QCheckBox;
class QLabel;

// A one-line tag box. Undo and redo belong to the document, not to the box: their shortcuts pass through
// to the window's actions, so Ctrl+Z after typing undoes the whole typed run at once.
class TagLineEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    bool event(QEvent* event) override;
};

// The multi-line editor of comments and lyrics: a plain text box on a rounded field that grows with its
// text from 56 to 104 pixels and is outlined in the accent colour while it has focus. Tab moves on.
class MultilineTagEditor : public QWidget {
    Q_OBJECT
public:
    explicit MultilineTagEditor(QWidget* parent = nullptr);

    QString text() const;
    // Replaces the text unless it is already the same, keeping the cursor where it was.
    void setText(const QString& text);
    void setPlaceholder(const QString& placeholder);
    QString placeholder() const;
    QPlainTextEdit* textEdit() const { return m_edit; }

signals:
    // The user changed the text (not setText).
    void textEdited(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitHeight();

    QPlainTextEdit* m_edit;
    bool m_applying = false;
};

// One field or custom item of the inspector: its label over its box, bound to the document. What the
// user types goes to editField at once (an emptied box as no value; numbers when the typing is done);
// what the edit state says comes back without moving the cursor or touching text that already matches,
// so typing is never disturbed. A numeric field holding text that is no number shows it as stored,
// marked; a value holding several values says how many, and lists them in its tooltip.
class TagFieldBox : public QWidget {
    Q_OBJECT
public:
    TagFieldBox(DocumentViewModel* document, const FieldConfig& config, QWidget* parent = nullptr);

    const FieldConfig& config() const { return m_config; }
    QString label() const;
    QString text() const;
    QString placeholder() const;
    // The widget that takes the typing.
    QWidget* editor() const;
    void showState(const EditableTagSet* state);
    // Why the last text typed here was refused; empty when it was taken.
    QString errorText() const;
    // Whether the box is marked as holding text in a numeric field.
    bool marksTextForNumber() const;
    // "2 values" beside the label when the value holds several; else empty.
    QString valueCountText() const;

private:
    void commit(const QString& text);
    void commitPending();
    void showToolTip();

    QPointer<DocumentViewModel> m_document;
    FieldConfig m_config;
    QLabel* m_label = nullptr;
    TagLineEdit* m_line = nullptr;
    MultilineTagEditor* m_multiline = nullptr;
    QCheckBox* m_checkBox = nullptr;
    QLabel* m_variesNote = nullptr;
    QLabel* m_error = nullptr;
    QLabel* m_valueCount = nullptr;
    QAction* m_textMark = nullptr; // the not-a-number mark inside a numeric box
    bool m_pending = false;        // a number typed but not yet committed
};
