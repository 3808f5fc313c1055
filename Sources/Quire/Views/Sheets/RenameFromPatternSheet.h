#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QLineEdit;

// Renames the selected files on disk from a pattern of tag tokens, with a live
// preview of the first new names that marks, before anything moves, the files
// that would be left alone (a name given twice or taken on disk, a name that
// cannot be given) and counts them. It stays open after renaming and says how
// many files moved and which did not, with why.
class RenameFromPatternSheet : public Sheet {
    Q_OBJECT
public:
    RenameFromPatternSheet(DocumentViewModel* document, QWidget* parent);
    QLineEdit* patternField() const { return m_pattern; }
    PreviewList* preview() const { return m_preview; }
    // Empty while every token of the pattern is a rename token.
    QString patternNoteText() const;

private:
    void refresh();
    void rename();

    QPointer<DocumentViewModel> m_document;
    QLineEdit* m_pattern;
    QLabel* m_note;
    PreviewList* m_preview;
};
