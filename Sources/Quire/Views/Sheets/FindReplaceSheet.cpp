#include "Quire/Views/Sheets/FindReplaceSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/TextSearch.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

using namespace SheetParts;

namespace {
// Every offered field and custom item is chosen at first.
FieldChips* everyTextField(const QList<AudioFile>& files, QWidget* parent) {
    const QList<FieldKey> offered = textFieldsAndCustomItems(files);
    return new FieldChips(offered, FieldKeySet(offered.begin(), offered.end()), parent);
}
} // namespace

FindReplaceSheet::FindReplaceSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Find & Replace"), tr("Cancel"), tr("Replace All"), QSize(440, 420), parent)
    , m_document(document)
    , m_caption(new QLabel(this))
    , m_search(new QLineEdit(this))
    , m_replacement(new QLineEdit(this))
    , m_regex(new QCheckBox(tr("Regex"), this))
    , m_wholeWord(new QCheckBox(tr("Whole word"), this))
    , m_allFiles(new QCheckBox(
          document->isFiltering() ? tr("Apply to all shown files") : tr("Apply to all loaded files"), this))
    , m_fields(everyTextField(document->selectedAudioFiles(), this))
    , m_preview(new PreviewList(this)) {
    QFont caption = m_caption->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_caption->setFont(caption);
    m_caption->hide();
    body()->addWidget(m_caption);

    m_search->setPlaceholderText(tr("Search text"));
    m_search->setAccessibleName(tr("Find"));
    m_replacement->setPlaceholderText(tr("Replacement"));
    m_replacement->setAccessibleName(tr("Replace with"));
    auto* form = new QFormLayout;
    form->addRow(tr("Find"), m_search);
    form->addRow(tr("Replace with"), m_replacement);
    body()->addLayout(form);
    auto* toggles = new QHBoxLayout;
    toggles->addWidget(m_regex);
    toggles->addWidget(m_wholeWord);
    toggles->addStretch();
    body()->addLayout(toggles);
    body()->addWidget(m_allFiles);
    addSection(tr("Fields"), {m_fields});
    m_preview->hide();
    body()->addWidget(m_preview);

    connect(m_search, &QLineEdit::textChanged, this, &FindReplaceSheet::updateMatchCount);
    connect(m_replacement, &QLineEdit::textChanged, this, &FindReplaceSheet::updateMatchCount);
    for (QCheckBox* toggle : {m_regex, m_wholeWord, m_allFiles})
        connect(toggle, &QCheckBox::toggled, this, &FindReplaceSheet::updateMatchCount);
    for (QCheckBox* toggle : {m_regex, m_wholeWord})
        connect(toggle, &QCheckBox::toggled, this, &FindReplaceSheet::refreshButtons);
    connect(m_fields, &FieldChips::chosenChanged, this, &FindReplaceSheet::updateMatchCount);
    connect(m_search, &QLineEdit::textChanged, this, &FindReplaceSheet::refreshButtons);
    connect(m_fields, &FieldChips::chosenChanged, this, &FindReplaceSheet::refreshButtons);
    connect(primaryButton(), &QPushButton::clicked, this, &FindReplaceSheet::replaceAll);
    refreshButtons();
}

FindReplaceSheet::~FindReplaceSheet() {
    if (m_stopCount)
        m_stopCount->store(true);
}

bool FindReplaceSheet::searchIsValid() const {
    return TextSearch(m_search->text(), m_regex->isChecked(), m_wholeWord->isChecked()).isValid();
}

void FindReplaceSheet::refreshButtons() {
    primaryButton()->setEnabled(!m_search->text().isEmpty() && !m_fields->chosen().isEmpty() &&
                                searchIsValid());
}

// The files are copied here, on the GUI thread (cheap: they are implicitly
// shared), and only the copy is read in the pool.
void FindReplaceSheet::updateMatchCount() {
    if (!m_document)
        return;
    if (m_stopCount)
        m_stopCount->store(true);
    m_stopCount = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++m_countGeneration;
    // No count is shown for an empty search.
    m_counting = !m_search->text().isEmpty();
    if (!m_counting) {
        m_caption->hide();
        m_preview->hide();
        return;
    }
    // Said where it was typed, rather than replacing in no field.
    if (!searchIsValid()) {
        m_counting = false;
        m_caption->setText(tr("This is not a valid regular expression"));
        setTone(m_caption, Tone::failure);
        m_caption->show();
        m_preview->hide();
        return;
    }

    const QList<AudioFile> targets =
        m_allFiles->isChecked() ? m_document->shownFiles() : m_document->selectedAudioFiles();
    const QList<FieldKey> fields = chosenTextFields(m_fields->chosen());
    const QString search = m_search->text();
    const QString replacement = m_replacement->text();
    const bool useRegex = m_regex->isChecked();
    const bool wholeWord = m_wholeWord->isChecked();
    QPointer<FindReplaceSheet> sheet(this);
    QThreadPool::globalInstance()->start([=, stop = m_stopCount] {
        const TextSearch textSearch(search, useRegex, wholeWord);
        const std::optional<int> count = countMatches(targets, textSearch, fields, stop.get());
        if (!count)
            return;
        const std::optional<BatchPreview> preview = previewPlans(
            targets,
            [&](const AudioFile& file) { return planFindReplace(file, textSearch, replacement, fields); },
            stop.get());
        if (!preview)
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [sheet, generation, count, preview] {
                if (sheet && generation == sheet->m_countGeneration)
                    sheet->showMatchCount(*count, *preview);
            },
            Qt::QueuedConnection);
    });
}

void FindReplaceSheet::showMatchCount(int count, const BatchPreview& preview) {
    m_counting = false;
    m_caption->setText(tr("%n matches found", nullptr, count));
    setTone(m_caption, count < 1 ? Tone::failure : Tone::secondary);
    m_caption->show();
    m_preview->setPreview(preview);
    m_preview->setVisible(count > 0);
}

void FindReplaceSheet::replaceAll() {
    if (!m_document || m_search->text().isEmpty() || m_fields->chosen().isEmpty())
        return;
    const int replaced = m_document->tagOperations().findAndReplace(
        m_search->text(), m_replacement->text(), m_regex->isChecked(), m_wholeWord->isChecked(),
        chosenTextFields(m_fields->chosen()), m_allFiles->isChecked());
    showResult(tr("✅ Replaced in %n fields.", nullptr, replaced), Tone::success);
    updateMatchCount();
}
