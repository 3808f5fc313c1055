#include "Quire/Views/Artwork/ArtworkOptimizeSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Artwork/PictureLoading.h"
#include "Quire/Views/Common/ProminentButton.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <cmath>

namespace {

constexpr int dimensionStep = 50;
constexpr int qualityStepsPerUnit = 20; // steps of 0.05

QFont scaledFont(const QFont& base, qreal factor, bool bold = false) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaledFont(parent->font(), 0.85));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

ArtworkOptimizeSheet::ArtworkOptimizeSheet(DocumentViewModel* document, int maxDimension, double jpegQuality,
                                           QWidget* parent)
    : QDialog(parent)
    , m_document(document)
    , m_selected(document->selectedAudioFiles())
    , m_dimensionSlider(new QSlider(Qt::Horizontal, this))
    , m_qualitySlider(new QSlider(Qt::Horizontal, this))
    , m_dimensionLabel(new QLabel(this))
    , m_qualityLabel(new QLabel(this))
    , m_currentSize(new QLabel(this))
    , m_estimatedSize(new QLabel(this))
    , m_caption(new QLabel(this)) {
    setWindowTitle(tr("Optimize Artwork"));
    setFixedSize(360, 380);

    auto* title = new QLabel(tr("Optimize Artwork"), this);
    title->setFont(scaledFont(font(), 1.0, true));
    const qsizetype count = document->selectedFiles().size();
    auto* description = secondaryLabel(tr("Applies to %n selected files.", nullptr, int(count)), this);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    m_dimensionSlider->setRange(100 / dimensionStep, 3000 / dimensionStep);
    m_dimensionSlider->setPageStep(4);
    m_dimensionSlider->setValue(maxDimension / dimensionStep);
    m_dimensionSlider->setAccessibleName(tr("Max dimension"));
    m_qualitySlider->setRange(2, qualityStepsPerUnit);
    m_qualitySlider->setPageStep(2);
    m_qualitySlider->setValue(int(std::lround(jpegQuality * qualityStepsPerUnit)));
    m_qualitySlider->setAccessibleName(tr("JPEG quality"));

    const auto sliderWithEnds = [this](QLabel* label, QSlider* slider, const QString& low,
                                       const QString& high) {
        auto* box = new QVBoxLayout;
        box->setSpacing(4);
        box->addWidget(label);
        auto* row = new QHBoxLayout;
        row->addWidget(secondaryLabel(low, this));
        row->addWidget(slider, 1);
        row->addWidget(secondaryLabel(high, this));
        box->addLayout(row);
        return box;
    };

    auto* sizes = new QGridLayout;
    sizes->addWidget(secondaryLabel(tr("Current (total)"), this), 0, 0);
    sizes->addWidget(m_currentSize, 1, 0);
    auto* arrow = new QLabel(QStringLiteral("→"), this);
    arrow->setForegroundRole(QPalette::PlaceholderText);
    sizes->addWidget(arrow, 0, 1, 2, 1, Qt::AlignCenter);
    sizes->addWidget(secondaryLabel(tr("Estimated (per frame)"), this), 0, 2);
    sizes->addWidget(m_estimatedSize, 1, 2);
    sizes->setColumnStretch(0, 1);
    sizes->setColumnStretch(2, 1);
    m_caption->setFont(scaledFont(font(), 0.85, true));

    auto* cancel = new QPushButton(tr("Cancel"), this);
    auto* apply = new ProminentButton(tr("Apply"), this);
    apply->setDefault(true);
    apply->setAutoDefault(true);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, [this] {
        if (m_document)
            m_document->artworkOperations().optimizeArtwork(this->maxDimension(), this->jpegQuality());
        accept();
    });
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(apply, QDialogButtonBox::AcceptRole);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(description);
    layout->addWidget(divider);
    layout->addLayout(sliderWithEnds(m_dimensionLabel, m_dimensionSlider, tr("100"), tr("3000")));
    layout->addLayout(sliderWithEnds(m_qualityLabel, m_qualitySlider, tr("10%"), tr("100%")));
    layout->addLayout(sizes);
    layout->addWidget(m_caption);
    layout->addStretch(1);
    layout->addWidget(buttons);

    m_debounce.setSingleShot(true);
    m_debounce.setInterval(120);
    connect(&m_debounce, &QTimer::timeout, this, &ArtworkOptimizeSheet::startEstimate);
    connect(m_dimensionSlider, &QSlider::valueChanged, this, &ArtworkOptimizeSheet::slidersMoved);
    connect(m_qualitySlider, &QSlider::valueChanged, this, &ArtworkOptimizeSheet::slidersMoved);

    m_estimate.currentTotalSize = ArtworkProcessing::currentTotalSize(m_selected);
    m_estimate.frames = ArtworkProcessing::frameCount(m_selected);
    slidersMoved();
    m_debounce.stop();
    startEstimate(); // the first figure without waiting
}

int ArtworkOptimizeSheet::maxDimension() const {
    return m_dimensionSlider->value() * dimensionStep;
}

double ArtworkOptimizeSheet::jpegQuality() const {
    return double(m_qualitySlider->value()) / qualityStepsPerUnit;
}

QString ArtworkOptimizeSheet::captionText() const {
    return m_caption->isHidden() ? QString() : m_caption->text();
}

void ArtworkOptimizeSheet::slidersMoved() {
    m_dimensionLabel->setText(tr("Max dimension: %1 px").arg(maxDimension()));
    // Whole percents, exact for every step of the slider.
    m_qualityLabel->setText(
        tr("JPEG quality: %1%").arg(m_qualitySlider->value() * 100 / qualityStepsPerUnit));
    m_debounce.start();
}

void ArtworkOptimizeSheet::startEstimate() {
    if (m_running) {
        m_rerun = true; // once the running one ends, with the sliders as they are then
        return;
    }
    m_running = true;
    m_rerun = false;
    const int dimension = maxDimension();
    const double quality = jpegQuality();
    auto* watcher = new QFutureWatcher<qint64>(this);
    connect(watcher, &QFutureWatcher<qint64>::finished, this, [this, watcher] {
        const qint64 estimated = watcher->result();
        watcher->deleteLater();
        m_running = false;
        // A result for slider values that have moved on since is not shown; the newer one follows.
        if (m_rerun || m_debounce.isActive()) {
            if (m_rerun)
                startEstimate();
            return;
        }
        m_estimate.estimatedSize = estimated;
        showEstimate();
    });
    const PictureSource source =
        m_selected.isEmpty() || !m_document ? PictureSource{} : m_document->pictureSource(m_selected.first());
    watcher->setFuture(
        QtConcurrent::run(PictureLoading::pool(), [files = m_selected, source, dimension, quality] {
            return ArtworkProcessing::estimatedSize(files, source, dimension, quality);
        }));
    showEstimate();
}

void ArtworkOptimizeSheet::showEstimate() {
    m_currentSize->setText(formatByteCount(m_estimate.currentTotalSize));
    m_estimatedSize->setText(formatByteCount(m_estimate.estimatedSize));
    const std::optional<ArtworkProcessing::SizeChangeCaption> caption = m_estimate.caption();
    m_caption->setVisible(caption.has_value());
    if (caption) {
        m_caption->setText(caption->text);
        QPalette palette = m_caption->palette();
        palette.setColor(QPalette::WindowText,
                         caption->isSmaller ? QColor(52, 168, 83) : QColor(255, 149, 0));
        m_caption->setPalette(palette);
    }
    if (!m_running)
        emit estimateChanged();
}
