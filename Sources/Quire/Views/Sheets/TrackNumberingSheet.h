#pragma once

#include "Quire/ViewModels/TagOperations.h"
#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QComboBox;
class QLabel;
class QSpinBox;

// Numbers the selected files in their list order, then closes. It shows the
// first files' new numbers before it runs.
class TrackNumberingSheet : public Sheet {
    Q_OBJECT
public:
    TrackNumberingSheet(DocumentViewModel* document, QWidget* parent);
    QSpinBox* startField() const { return m_start; }
    // Keep each file's total, the number of files numbered, or the number in totalField.
    QComboBox* totalsChoice() const { return m_totalsChoice; }
    QSpinBox* totalField() const { return m_total; }
    QLabel* preview() const { return m_preview; }
    // Shown when numbering replaces track numbers that hold text.
    QLabel* replacesTextNote() const { return m_replacesText; }

private:
    TrackTotals chosenTotals() const;
    void refreshPreview();
    void apply();

    QPointer<DocumentViewModel> m_document;
    QSpinBox* m_start;
    QComboBox* m_totalsChoice;
    QSpinBox* m_total;
    QLabel* m_preview;
    QLabel* m_replacesText;
};
