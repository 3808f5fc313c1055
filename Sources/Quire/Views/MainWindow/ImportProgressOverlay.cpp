#include "Quire/Views/MainWindow/ImportProgressOverlay.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/ShadowCard.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
constexpr int shadowWidth = 8;
} // namespace

ImportProgressOverlay::ImportProgressOverlay(DocumentViewModel* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_card(new ShadowCard(shadowWidth, 12, 2, this))
    , m_progressLabel(new QLabel(m_card))
    , m_progressBar(new QProgressBar(m_card))
    , m_loadedLabel(new QLabel(m_card)) {
    QFont headline = m_progressLabel->font();
    headline.setBold(true);
    m_progressLabel->setFont(headline);
    m_progressBar->setFixedWidth(300);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 1000);
    QFont caption = m_loadedLabel->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_loadedLabel->setFont(caption);
    m_loadedLabel->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(m_card);
    layout->setContentsMargins(32 + shadowWidth, 32 + shadowWidth, 32 + shadowWidth, 32 + shadowWidth);
    layout->setSpacing(16);
    layout->addWidget(m_progressLabel);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_loadedLabel);

    parent->installEventFilter(this);
    connect(document, &DocumentViewModel::isLoadingChanged, this, &ImportProgressOverlay::refresh);
    connect(document, &DocumentViewModel::importProgressChanged, this, &ImportProgressOverlay::refresh);
    connect(document, &DocumentViewModel::filesChanged, this, &ImportProgressOverlay::refresh);
    refresh();
}

QString ImportProgressOverlay::progressText() const {
    return m_progressLabel->text();
}

QString ImportProgressOverlay::loadedText() const {
    return m_loadedLabel->text();
}

void ImportProgressOverlay::refresh() {
    if (!m_document)
        return;
    const ImportProgress progress = m_document->importProgress();
    const bool shown = m_document->isLoading() && progress.total >= minimumFiles;
    if (!shown) {
        hide();
        return;
    }
    m_progressLabel->setText(
        tr("Importing %1 of %n files", nullptr, int(progress.total)).arg(progress.completed));
    m_progressBar->setValue(progress.total < 1 ? 0 : int(1000 * progress.completed / progress.total));
    m_progressBar->setAccessibleName(m_progressLabel->text());
    m_loadedLabel->setText(tr("%n files loaded", nullptr, int(m_document->files().size())));
    // The card is sized wide enough for the largest counts, so that each file read only changes two texts;
    // again when the walk has found enough more files for the total to take another digit.
    const int digits = int(QString::number(progress.total).size());
    if (isHidden() || digits != m_sizedForDigits) {
        m_sizedForDigits = digits;
        const QString widest =
            tr("Importing %1 of %n files", nullptr, int(progress.total)).arg(progress.total);
        m_progressLabel->setMinimumWidth(m_progressLabel->fontMetrics().horizontalAdvance(widest));
        m_card->adjustSize();
        setGeometry(parentWidget()->rect());
        m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
        show();
        raise();
    }
}

bool ImportProgressOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) {
        setGeometry(parentWidget()->rect());
        m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
    }
    return QWidget::eventFilter(watched, event);
}

void ImportProgressOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 51));
}
