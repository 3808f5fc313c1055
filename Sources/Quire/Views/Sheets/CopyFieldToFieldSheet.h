#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QComboBox;

// Copies one field into another on every selected file, previewing what the
// first files get and counting those that change, then closes.
class CopyFieldToFieldSheet : public Sheet {
    Q_OBJECT
public:
    CopyFieldToFieldSheet(DocumentViewModel* document, QWidget* parent);
    QComboBox* sourceChoice() const { return m_source; }
    QComboBox* targetChoice() const { return m_target; }
    PreviewList* preview() const { return m_preview; }

private:
    void refresh();
    void copy();
    std::optional<FieldKey> chosen(const QComboBox* choice) const;

    QPointer<DocumentViewModel> m_document;
    QComboBox* m_source;
    QComboBox* m_target;
    PreviewList* m_preview;
};
