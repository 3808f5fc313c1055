#include "Quire/Views/Sheets/TrackNumberingSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

using namespace SheetParts;

namespace {
QSpinBox* numberField(int value, const QString& name, QWidget* parent) {
    auto* field = new QSpinBox(parent);
    field->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    field->setValue(value);
    field->setButtonSymbols(QAbstractSpinBox::NoButtons);
    field->setFixedWidth(80);
    field->setAccessibleName(name);
    return field;
}
} // namespace

TrackNumberingSheet::TrackNumberingSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Number Tracks"), tr("Cancel"), tr("Apply"), QSize(420, 320), parent)
    , m_document(document)
    , m_start(numberField(1, tr("Start at"), this))
    , m_totalsChoice(new QComboBox(this))
    , m_total(numberField(0, tr("Total:"), this))
    , m_preview(new QLabel(this))
    , m_replacesText(new QLabel(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Assign sequential track numbers to %n selected files in their current sort order.",
                      nullptr, int(count)));

    // The order of the rules in the choice.
    m_totalsChoice->addItem(tr("Keep each file’s total"), int(TrackTotals::Rule::keep));
    m_totalsChoice->addItem(tr("Number of files numbered"), int(TrackTotals::Rule::count));
    m_totalsChoice->addItem(tr("Set to"), int(TrackTotals::Rule::given));
    m_totalsChoice->setAccessibleName(tr("Total tracks"));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(tr("Start at"), m_start);
    auto* totals = new QHBoxLayout;
    totals->addWidget(m_totalsChoice);
    totals->addWidget(m_total);
    form->addRow(tr("Total tracks"), totals);
    body()->addLayout(form);
    m_preview->setAccessibleName(tr("Preview"));
    m_preview->setTextFormat(Qt::PlainText);
    body()->addWidget(m_preview);
    m_replacesText->setWordWrap(true);
    setTone(m_replacesText, Tone::warning);
    body()->addWidget(m_replacesText);

    const auto showTotal = [this] {
        m_total->setVisible(chosenTotals().rule == TrackTotals::Rule::given);
        refreshPreview();
    };
    connect(m_totalsChoice, &QComboBox::currentIndexChanged, this, showTotal);
    connect(m_start, &QSpinBox::valueChanged, this, &TrackNumberingSheet::refreshPreview);
    connect(m_total, &QSpinBox::valueChanged, this, &TrackNumberingSheet::refreshPreview);
    showTotal();
    connect(primaryButton(), &QPushButton::clicked, this, &TrackNumberingSheet::apply);
}

TrackTotals TrackNumberingSheet::chosenTotals() const {
    return {TrackTotals::Rule(m_totalsChoice->currentData().toInt()), m_total->value()};
}

// The first few files as they will be numbered: "01 Intro.flac → 5 of 12".
void TrackNumberingSheet::refreshPreview() {
    if (!m_document)
        return;
    constexpr qsizetype shown = 4;
    const QList<TrackNumbering> plan =
        m_document->tagOperations().planTrackNumbers(m_start->value(), chosenTotals());
    QHash<QUuid, QString> names;
    for (const AudioFile& file : m_document->selectedAudioFiles())
        names.insert(file.id(), file.filename());
    QStringList lines;
    for (const TrackNumbering& numbering : plan.first(std::min(plan.size(), shown))) {
        const QString number = numbering.total ? tr("%1 of %2").arg(numbering.number).arg(*numbering.total)
                                               : QString::number(numbering.number);
        lines.append(tr("%1 → %2").arg(names.value(numbering.file), number));
    }
    if (plan.size() > shown)
        lines.append(tr("and %n more", nullptr, int(plan.size() - shown)));
    m_preview->setText(lines.join(u'\n'));
    // Said before it runs: the text in those track numbers is lost.
    const auto replaced = std::count_if(
        plan.begin(), plan.end(), [](const TrackNumbering& numbering) { return numbering.replacesText; });
    m_replacesText->setText(
        tr("Replaces %n track numbers that are not numbers (such as “A1”)", nullptr, int(replaced)));
    m_replacesText->setVisible(replaced > 0);
}

void TrackNumberingSheet::apply() {
    if (!m_document)
        return;
    // A number still being typed counts as typed.
    m_start->interpretText();
    m_total->interpretText();
    m_document->tagOperations().numberTracks(m_start->value(), chosenTotals());
    accept();
}
