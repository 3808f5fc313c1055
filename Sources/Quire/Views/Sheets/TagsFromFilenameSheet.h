#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QLineEdit;

// Fills the chosen fields of the selected files from their names with a
// pattern of {field} tokens, previewing what each of the first files gets, then
// closes; when some names do not match, it stays open and lists them.
class TagsFromFilenameSheet : public Sheet {
    Q_OBJECT
public:
    TagsFromFilenameSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    FieldChips* fieldChips() const { return m_fields; }
    PreviewList* preview() const { return m_preview; }
    // Empty while every token of the pattern fills its field.
    QString patternNoteText() const;

private:
    // The chosen fields in declaration order, then the custom items the pattern names.
    QList<FieldKey> chosenFields() const;
    void refresh();
    void extract();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    QLabel* m_note;
    FieldChips* m_fields;
    PreviewList* m_preview;
};
