#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QComboBox;

// Copies one field into another on every selected file, then closes.
class CopyFieldToFieldSheet : public Sheet {
    Q_OBJECT
public:
    CopyFieldToFieldSheet(DocumentViewModel* document, QWidget* parent);
    QComboBox* sourceChoice() const { return m_source; }
    QComboBox* targetChoice() const { return m_target; }

private:
    void copy();

    QPointer<DocumentViewModel> m_document;
    QComboBox* m_source;
    QComboBox* m_target;
};
