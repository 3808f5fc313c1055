#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QLineEdit;

// Fills the chosen fields of the selected files from their names with a
// pattern of {field} tokens, then closes.
class TagsFromFilenameSheet : public Sheet {
    Q_OBJECT
public:
    TagsFromFilenameSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    FieldChips* fieldChips() const { return m_fields; }
    // The name shown under "Preview"; empty when nothing is selected.
    QString previewText() const;

private:
    void extract();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    FieldChips* m_fields;
    QLabel* m_preview = nullptr;
};
