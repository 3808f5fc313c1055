#pragma once

#include "Quire/ViewModels/TextTransform.h"
#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QButtonGroup;
class QGridLayout;

// Applies one of the text transforms to the chosen text fields of the selected
// files, previewing the changes to the first of them; closes after applying.
class TextTransformSheet : public Sheet {
    Q_OBJECT
public:
    TextTransformSheet(DocumentViewModel* document, QWidget* parent);
    QButtonGroup* transformChoices() const { return m_transforms; }
    FieldChips* fieldChips() const { return m_fields; }
    TextTransform selectedTransform() const;
    // Each preview row as "field: current → transformed".
    QStringList previewTexts() const;

private:
    void refresh();
    void apply();

    QPointer<DocumentViewModel> m_document;
    QButtonGroup* m_transforms;
    FieldChips* m_fields;
    QWidget* m_preview;
    QGridLayout* m_previewRows;
    QList<TextTransformPreviewRow> m_shownRows;
};
