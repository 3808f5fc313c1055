#pragma once

#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>
#include <atomic>
#include <memory>

class DocumentViewModel;
class QCheckBox;
class QLineEdit;

// Finds and replaces text in the chosen text fields of the selected (or all)
// files. The number of matches and a preview of what the first files get
// follow every change of the search and the replacement; both are worked out
// off the GUI thread, so that no expression can hold up typing, and a result
// that a newer change overtook is dropped. The sheet stays open after
// replacing and shows how many values changed.
class FindReplaceSheet : public Sheet {
    Q_OBJECT
public:
    FindReplaceSheet(DocumentViewModel* document, QWidget* parent);
    ~FindReplaceSheet() override;

    QLineEdit* searchField() const { return m_search; }
    QLineEdit* replacementField() const { return m_replacement; }
    QCheckBox* regexToggle() const { return m_regex; }
    QCheckBox* wholeWordToggle() const { return m_wholeWord; }
    QCheckBox* allFilesToggle() const { return m_allFiles; }
    FieldChips* fieldChips() const { return m_fields; }
    QLabel* matchCaption() const { return m_caption; }
    PreviewList* preview() const { return m_preview; }
    // Whether a count is running whose result has not been shown yet.
    bool isCounting() const { return m_counting; }

private:
    void updateMatchCount();
    void showMatchCount(int count, const BatchPreview& preview);
    bool searchIsValid() const;
    void refreshButtons();
    void replaceAll();

    QPointer<DocumentViewModel> m_document;
    QLabel* m_caption;
    QLineEdit* m_search;
    QLineEdit* m_replacement;
    QCheckBox* m_regex;
    QCheckBox* m_wholeWord;
    QCheckBox* m_allFiles;
    FieldChips* m_fields;
    PreviewList* m_preview;
    // Set to stop the running count when a newer one starts or the sheet closes.
    std::shared_ptr<std::atomic<bool>> m_stopCount;
    quint64 m_countGeneration = 0;
    bool m_counting = false;
};
