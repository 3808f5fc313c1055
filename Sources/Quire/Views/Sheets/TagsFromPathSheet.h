#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QLineEdit;

// Fills the artist and album (and the custom items the pattern names) of the
// selected files from the names of the folders that hold them, previewing
// what each of the first files gets, then closes; when some files cannot be
// filled, it stays open and lists them.
class TagsFromPathSheet : public Sheet {
    Q_OBJECT
public:
    TagsFromPathSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    PreviewList* preview() const { return m_preview; }
    // Empty while every token of the pattern fills its field.
    QString patternNoteText() const;

private:
    QList<FieldKey> filledFields() const;
    void refresh();
    void extract();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    QLabel* m_note;
    PreviewList* m_preview;
};
