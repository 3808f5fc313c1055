#include "Quire/Views/Sheets/TrackNumberingSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
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
    : Sheet(tr("Number Tracks"), tr("Cancel"), tr("Apply"), QSize(380, 300), parent)
    , m_document(document)
    , m_start(numberField(1, tr("Start at"), this))
    , m_useTotal(new QCheckBox(tr("Set total tracks"), this))
    , m_total(numberField(0, tr("Total:"), this))
    , m_padding(new QButtonGroup(this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(tr("Assign sequential track numbers to %n selected files in their current sort order.",
                      nullptr, int(count)));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->addRow(tr("Start at"), m_start);
    form->addRow(m_useTotal);
    auto* totalLabel = new QLabel(tr("Total:"), this);
    form->addRow(totalLabel, m_total);

    // A segmented choice of the width, 1 to 4 digits.
    auto* segments = new QWidget(this);
    segments->setAccessibleName(tr("Padding width"));
    segments->setFixedWidth(160);
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    for (int width = 1; width <= 4; ++width) {
        auto* segment = new QToolButton(segments);
        segment->setText(QString::number(width));
        segment->setCheckable(true);
        segment->setChecked(width == 2);
        segment->setToolTip(tr("Padding width"));
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        segment->setFocusPolicy(Qt::StrongFocus);
        m_padding->addButton(segment, width);
        segmentLayout->addWidget(segment);
    }
    form->addRow(tr("Padding"), segments);
    body()->addLayout(form);

    const auto showTotal = [this, totalLabel](bool on) {
        totalLabel->setVisible(on);
        m_total->setVisible(on);
    };
    connect(m_useTotal, &QCheckBox::toggled, this, showTotal);
    showTotal(false);
    connect(primaryButton(), &QPushButton::clicked, this, &TrackNumberingSheet::apply);
}

int TrackNumberingSheet::paddingWidth() const {
    return m_padding->checkedId();
}

void TrackNumberingSheet::apply() {
    if (!m_document)
        return;
    // A number still being typed counts as typed.
    m_start->interpretText();
    m_total->interpretText();
    const std::optional<qint64> total =
        m_useTotal->isChecked() ? std::optional<qint64>(m_total->value()) : std::nullopt;
    m_document->tagOperations().numberTracks(m_start->value(), total, paddingWidth());
    accept();
}
