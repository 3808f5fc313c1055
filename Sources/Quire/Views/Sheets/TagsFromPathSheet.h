#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QLineEdit;

// Fills the artist and album of the selected files from the names of the
// folders that hold them, then closes.
class TagsFromPathSheet : public Sheet {
    Q_OBJECT
public:
    TagsFromPathSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    // The path shown under "Preview path"; empty when nothing is selected.
    QString previewText() const;

private:
    void extract();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    QLabel* m_preview = nullptr;
};
