#pragma once

#include "Quire/ViewModels/TextTransform.h"
#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QButtonGroup;

// Applies one of the text transforms to the chosen text fields of the selected
// files, previewing the changes to the first of them and counting the files
// and fields that change; closes after applying.
class TextTransformSheet : public Sheet {
    Q_OBJECT
public:
    TextTransformSheet(DocumentViewModel* document, QWidget* parent);
    QButtonGroup* transformChoices() const { return m_transforms; }
    FieldChips* fieldChips() const { return m_fields; }
    TextTransform selectedTransform() const;
    PreviewList* preview() const { return m_preview; }

private:
    void refresh();
    void apply();

    QPointer<DocumentViewModel> m_document;
    QButtonGroup* m_transforms;
    FieldChips* m_fields;
    PreviewList* m_preview;
};
