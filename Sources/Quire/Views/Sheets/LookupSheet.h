#pragma once

#include "Quire/ViewModels/Lookup/ReleaseLookup.h"
#include "Quire/Views/Sheets/SheetParts.h"

#include <QPointer>

class DocumentViewModel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QTreeWidget;

// Looks the selected files up online as one release: a search (prefilled from
// their tags, or a release address), the releases found with how well they
// fit, what the chosen one would change in each file and which files and
// tracks are left over, and its front cover if wanted. Apply is one undo step;
// Cancel (or Stop) ends the running requests and changes nothing.
class LookupSheet : public Sheet {
    Q_OBJECT
public:
    LookupSheet(DocumentViewModel* document, QWidget* parent);
    ~LookupSheet() override;

    QLineEdit* searchField() const { return m_search; }
    QPushButton* searchButton() const { return m_searchButton; }
    QTreeWidget* candidates() const { return m_candidates; }
    QTreeWidget* preview() const { return m_preview; }
    QCheckBox* coverChoice() const { return m_cover; }
    QComboBox* coverSize() const { return m_coverSize; }
    QPushButton* stopButton() const { return m_stop; }
    QString statusText() const;
    bool isBusy() const;

    // Starts a search for the field's text.
    void search();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCandidates(const QList<LookupCandidate>& found);
    void candidateChosen();
    void showRelease(const MusicBrainz::Release& release);
    void apply();
    void finishApply(const std::optional<Artwork>& cover);
    void stop();
    void setStatus(const QString& text, SheetParts::Tone tone);
    void refreshButtons();
    // Whether an answer still belongs to what the sheet shows: a newer request replaces older ones.
    bool isCurrent(quint64 request) const { return request == m_request; }
    // The completion of `request`: dropped once the sheet is gone or a newer request began; a failure is
    // said in the status line, a value handed to `use`.
    template <typename T, typename Use> ReleaseLookup::Completion<T> answerTo(quint64 request, Use use) {
        return [self = QPointer<LookupSheet>(this), request, use](const Result<T, LookupError>& answer) {
            if (!self || !self->isCurrent(request))
                return;
            self->m_busy = false;
            if (!answer) {
                self->setStatus(answer.error().text, SheetParts::Tone::failure);
                self->refreshButtons();
                return;
            }
            use(*self, answer.value());
        };
    }

    QPointer<DocumentViewModel> m_document;
    QList<QUuid> m_files; // the selection when the sheet opened
    QLineEdit* m_search;
    QPushButton* m_searchButton;
    QTreeWidget* m_candidates;
    QTreeWidget* m_preview;
    QCheckBox* m_cover;
    QComboBox* m_coverSize;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_stop;
    QList<LookupCandidate> m_found;
    std::optional<MusicBrainz::Release> m_release;
    MusicBrainz::ReleaseMatch m_match;
    quint64 m_request = 0;
    bool m_busy = false;
};
