#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QGridLayout;
class QLineEdit;

// Renames the selected files on disk from a pattern of tag tokens, with a live
// preview of the first five new names. It stays open after renaming and shows
// how many files moved.
class RenameFromPatternSheet : public Sheet {
    Q_OBJECT
public:
    RenameFromPatternSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    // Each shown row as "current → new".
    QStringList previewTexts() const;

private:
    void refresh();
    void rename();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    QGridLayout* m_preview;
};
