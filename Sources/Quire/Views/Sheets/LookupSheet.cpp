#include "Quire/Views/Sheets/LookupSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/Preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace MusicBrainz;
using namespace SheetParts;

namespace {

QString shown(const std::optional<QString>& value) {
    return value ? QStringLiteral("“%1”").arg(*value) : LookupSheet::tr("(empty)");
}

// The files of `ids` that are still in the document, in that order.
QList<AudioFile> filesOf(const DocumentViewModel& document, const QList<QUuid>& ids) {
    QHash<QUuid, AudioFile> byId;
    for (const AudioFile& file : document.files())
        byId.insert(file.id(), file);
    QList<AudioFile> files;
    for (const QUuid& id : ids)
        if (const auto found = byId.constFind(id); found != byId.constEnd())
            files.append(*found);
    return files;
}

} // namespace

LookupSheet::LookupSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Look Up Online"), tr("Cancel"), tr("Apply"), QSize(720, 560), parent)
    , m_document(document)
    , m_search(new QLineEdit(this))
    , m_searchButton(new QPushButton(tr("Search"), this))
    , m_candidates(new QTreeWidget(this))
    , m_preview(new QTreeWidget(this))
    , m_cover(new QCheckBox(tr("Add the front cover from the Cover Art Archive"), this))
    , m_coverSize(new QComboBox(this))
    , m_status(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_stop(new QPushButton(tr("Stop"), this)) {
    const QList<AudioFile> selected = document->selectedAudioFiles();
    for (const AudioFile& file : selected)
        m_files.append(file.id());
    setDescription(tr("Find the release the %n selected files belong to on MusicBrainz and take its tags.",
                      nullptr, int(selected.size())));
    // The addresses are read as the lookup starts, so a change in the preferences holds from the next one.
    document->releaseLookup().setServices(Preferences::lookupServices(QSettings()));

    m_search->setText(ReleaseLookup::queryFor(selected));
    m_search->setPlaceholderText(tr("Artist and album, or a MusicBrainz release address"));
    m_search->setAccessibleName(tr("Search"));
    m_searchButton->setAutoDefault(false);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_searchButton);
    body()->addLayout(searchRow);

    m_candidates->setRootIsDecorated(false);
    m_candidates->setHeaderLabels({tr("Score"), tr("Title"), tr("Artist"), tr("Date"), tr("Country"),
                                   tr("Format"), tr("Tracks"), tr("Label"), tr("Barcode")});
    m_candidates->setAccessibleName(tr("Releases"));
    m_candidates->header()->setStretchLastSection(false);
    m_candidates->setMinimumHeight(120);
    addSection(tr("Releases"), {m_candidates});

    m_preview->setHeaderLabels({tr("File"), tr("Becomes")});
    m_preview->setAccessibleName(tr("Preview"));
    m_preview->setMinimumHeight(160);
    addSection(tr("Preview"), {m_preview});

    for (CoverSize size : {CoverSize::small, CoverSize::medium, CoverSize::large, CoverSize::full})
        m_coverSize->addItem(size == CoverSize::full ? tr("Full size") : tr("%1 pixels").arg(int(size)),
                             coverSizeText(size));
    m_coverSize->setCurrentIndex(1);
    m_coverSize->setAccessibleName(tr("Cover size"));
    auto* coverRow = new QHBoxLayout;
    coverRow->addWidget(m_cover);
    coverRow->addWidget(m_coverSize);
    coverRow->addStretch();
    body()->addLayout(coverRow);

    m_progress->setRange(0, 0); // the service says nothing of how long it takes
    m_progress->setMaximumWidth(120);
    m_progress->setAccessibleName(tr("Working"));
    m_stop->setAutoDefault(false);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_progress);
    statusRow->addWidget(m_stop);
    body()->addLayout(statusRow);

    connect(m_searchButton, &QPushButton::clicked, this, &LookupSheet::search);
    m_search->installEventFilter(this);
    connect(m_candidates, &QTreeWidget::currentItemChanged, this, &LookupSheet::candidateChosen);
    connect(m_cover, &QCheckBox::toggled, this, &LookupSheet::refreshButtons);
    connect(m_stop, &QPushButton::clicked, this, &LookupSheet::stop);
    connect(primaryButton(), &QPushButton::clicked, this, &LookupSheet::apply);
    connect(this, &QDialog::rejected, this, &LookupSheet::stop);
    refreshButtons();
    // Failures show in the status line, not in an alert over the sheet as well.
    m_document->releaseLookup().setPostsNotices(false);
    if (!m_search->text().isEmpty())
        search();
}

LookupSheet::~LookupSheet() {
    // Answers for a sheet that is gone would arrive to no one; those the cancel
    // gives at once must find no current request.
    ++m_request;
    if (m_document) {
        if (m_busy)
            m_document->releaseLookup().cancel();
        m_document->releaseLookup().setPostsNotices(true);
    }
}

// Return in the search field searches; elsewhere it applies, as in every sheet.
bool LookupSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            search();
            return true;
        }
    }
    return Sheet::eventFilter(watched, event);
}

QString LookupSheet::statusText() const {
    return m_status->text();
}

bool LookupSheet::isBusy() const {
    return m_busy;
}

void LookupSheet::setStatus(const QString& text, Tone tone) {
    m_status->setText(text);
    setTone(m_status, tone);
}

void LookupSheet::refreshButtons() {
    m_progress->setVisible(m_busy);
    m_stop->setVisible(m_busy);
    m_coverSize->setEnabled(m_cover->isChecked());
    primaryButton()->setEnabled(!m_busy && m_release && !m_match.matched.isEmpty());
}

void LookupSheet::stop() {
    if (!m_busy || !m_document)
        return;
    ++m_request;
    m_busy = false;
    m_document->releaseLookup().cancel();
    setStatus(tr("Stopped."), Tone::secondary);
    refreshButtons();
}

void LookupSheet::search() {
    if (!m_document)
        return;
    const quint64 request = ++m_request;
    m_busy = true;
    m_found.clear();
    m_candidates->clear();
    m_preview->clear();
    m_release.reset();
    setStatus(tr("Searching…"), Tone::secondary);
    refreshButtons();
    m_document->releaseLookup().findCandidates(
        filesOf(*m_document, m_files), m_search->text(),
        answerTo<QList<LookupCandidate>>(
            request,
            [](LookupSheet& sheet, const QList<LookupCandidate>& found) { sheet.showCandidates(found); }));
}

void LookupSheet::showCandidates(const QList<LookupCandidate>& found) {
    m_found = found;
    for (const LookupCandidate& candidate : found) {
        const ReleaseSummary& release = candidate.release;
        auto* item = new QTreeWidgetItem(m_candidates, {QString::number(candidate.score), release.title,
                                                        release.artist.name, release.date, release.country,
                                                        release.format, QString::number(release.trackCount),
                                                        release.label, release.barcode});
        item->setTextAlignment(0, Qt::AlignRight);
    }
    for (int column = 0; column < m_candidates->columnCount(); ++column)
        m_candidates->resizeColumnToContents(column);
    setStatus(found.isEmpty() ? tr("No release was found.")
                              : tr("%n releases found.", nullptr, int(found.size())),
              found.isEmpty() ? Tone::warning : Tone::secondary);
    refreshButtons();
    if (!found.isEmpty())
        m_candidates->setCurrentItem(m_candidates->topLevelItem(0));
}

void LookupSheet::candidateChosen() {
    const int row = m_candidates->indexOfTopLevelItem(m_candidates->currentItem());
    if (!m_document || row < 0 || row >= m_found.size())
        return;
    const quint64 request = ++m_request;
    m_busy = true;
    m_release.reset();
    m_preview->clear();
    setStatus(tr("Reading the release…"), Tone::secondary);
    refreshButtons();
    m_document->releaseLookup().fetchRelease(
        m_found[row].release.id, answerTo<Release>(request, [](LookupSheet& sheet, const Release& release) {
            sheet.showRelease(release);
        }));
}

void LookupSheet::showRelease(const Release& release) {
    const QList<AudioFile> files = filesOf(*m_document, m_files);
    m_release = release;
    m_match = matchFiles(files, release);
    const ReleasePreview preview = previewRelease(files, release, m_match);
    m_preview->clear();
    for (const ReleasePreview::File& file : preview.files) {
        auto* item = new QTreeWidgetItem(m_preview, {file.filename, file.trackLabel});
        for (const FieldChange& change : file.changes)
            new QTreeWidgetItem(item, {change.field.displayName(),
                                       shown(change.before) + QStringLiteral(" → ") + shown(change.after)});
    }
    for (const QString& name : preview.unmatchedFiles) {
        auto* item = new QTreeWidgetItem(m_preview, {name, tr("no track: left as it is")});
        item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    for (const QString& track : preview.unmatchedTracks) {
        auto* item = new QTreeWidgetItem(m_preview, {tr("(no file)"), track});
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    m_preview->resizeColumnToContents(0);
    if (preview.files.isEmpty())
        setStatus(tr("No selected file matches a track of this release."), Tone::warning);
    else
        setStatus(tr("%1 of %n files match a track.", nullptr, int(m_files.size())).arg(preview.files.size()),
                  preview.unmatchedFiles.isEmpty() ? Tone::success : Tone::warning);
    refreshButtons();
}

void LookupSheet::apply() {
    if (!m_document || !m_release || m_busy)
        return;
    if (!m_cover->isChecked()) {
        finishApply(std::nullopt);
        return;
    }
    const quint64 request = ++m_request;
    m_busy = true;
    setStatus(tr("Fetching the cover…"), Tone::secondary);
    refreshButtons();
    const CoverSize size =
        coverSizeFromText(m_coverSize->currentData().toString()).value_or(CoverSize::medium);
    m_document->releaseLookup().fetchFrontCover(
        m_release->summary.id, size,
        // No release is applied without the cover the user asked for.
        answerTo<std::optional<Artwork>>(
            request, [](LookupSheet& sheet, const std::optional<Artwork>& cover) {
                if (!cover) {
                    sheet.setStatus(tr("The Cover Art Archive has no front cover for this release."),
                                    Tone::warning);
                    sheet.m_cover->setChecked(false);
                    sheet.refreshButtons();
                    return;
                }
                sheet.finishApply(cover);
            }));
}

void LookupSheet::finishApply(const std::optional<Artwork>& cover) {
    m_document->releaseLookup().apply(*m_release, m_match, cover);
    accept();
}
