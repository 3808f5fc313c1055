#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QButtonGroup;
class QCheckBox;
class QSpinBox;

// Numbers the selected files in their list order, then closes.
class TrackNumberingSheet : public Sheet {
    Q_OBJECT
public:
    TrackNumberingSheet(DocumentViewModel* document, QWidget* parent);
    QSpinBox* startField() const { return m_start; }
    QCheckBox* customTotalToggle() const { return m_useTotal; }
    QSpinBox* totalField() const { return m_total; }
    // The chosen padding width, 1 to 4.
    int paddingWidth() const;
    QButtonGroup* paddingChoices() const { return m_padding; }

private:
    void apply();

    QPointer<DocumentViewModel> m_document;
    QSpinBox* m_start;
    QCheckBox* m_useTotal;
    QSpinBox* m_total;
    QButtonGroup* m_padding;
};
