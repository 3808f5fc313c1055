#include "Quire/Views/MainWindow/StatusBarView.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/Fonts.h"
#include "Quire/Views/Common/ProminentButton.h"
#include "Quire/Views/Common/Symbols.h"

#include <QAction>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

StatusBarView::StatusBarView(DocumentViewModel* document, QAction* save, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_count(new QLabel(this))
    , m_dot(new QLabel(QStringLiteral("·"), this))
    , m_modified(new QLabel(this))
    , m_properties(new QLabel(this))
    , m_saveButton(new ProminentButton(tr("Save"), this))
    , m_saveProgress(new QProgressBar(this))
    , m_saving(new QLabel(this)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    const QFont caption = captionFont(font());
    QFont numeric = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    numeric.setPointSizeF(caption.pointSizeF());
    for (QLabel* label : {m_count, m_dot, m_modified})
        label->setFont(caption);
    m_properties->setFont(numeric);
    m_saving->setFont(caption);
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_dot->setForegroundRole(QPalette::PlaceholderText);
    m_properties->setForegroundRole(QPalette::PlaceholderText);
    m_saving->setForegroundRole(QPalette::PlaceholderText);
    QPalette orange = m_modified->palette();
    orange.setColor(QPalette::WindowText, QColor(255, 149, 0));
    m_modified->setPalette(orange);
    m_saveButton->setIcon(Symbols::icon(QStringLiteral("tray.and.arrow.down")));
    m_saveButton->setFont(caption);
    m_saveButton->setToolTip(save->toolTip());
    m_saveProgress->setFixedWidth(100);
    m_saveProgress->setMaximumHeight(10);
    m_saveProgress->setTextVisible(false);
    m_saveProgress->setRange(0, 1000);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(12);
    layout->addWidget(m_count);
    layout->addWidget(m_dot);
    layout->addWidget(m_modified);
    layout->addStretch(1);
    layout->addWidget(m_properties);
    layout->addWidget(m_saveButton);
    layout->addWidget(m_saveProgress);
    layout->addWidget(m_saving);

    connect(m_saveButton, &QPushButton::clicked, save, &QAction::trigger);
    for (auto signal : {&DocumentViewModel::filesChanged, &DocumentViewModel::selectedFilesChanged,
                        &DocumentViewModel::isSavingChanged, &DocumentViewModel::isMovingFilesChanged,
                        &DocumentViewModel::filterChanged})
        connect(document, signal, this, &StatusBarView::refresh);
    connect(&document->work(), &WorkQueue::isWorkingChanged, this, &StatusBarView::refresh);
    // The first report shows at once; the ones within the interval after it, once it has passed.
    m_progressRefresh.setSingleShot(true);
    m_progressRefresh.setInterval(progressIntervalMs);
    connect(&m_progressRefresh, &QTimer::timeout, this, [this] {
        if (std::exchange(m_progressPending, false))
            refresh();
    });
    const auto progressed = [this] {
        if (m_progressRefresh.isActive()) {
            m_progressPending = true;
            return;
        }
        refresh();
        m_progressRefresh.start();
    };
    connect(document, &DocumentViewModel::saveProgressChanged, this, progressed);
    connect(&document->work(), &WorkQueue::progressChanged, this, progressed);
    refresh();
}

QString StatusBarView::countText() const {
    return m_count->text();
}

QString StatusBarView::modifiedText() const {
    return m_modified->isHidden() ? QString() : m_modified->text();
}

QString StatusBarView::propertiesText() const {
    return m_properties->isHidden() ? QString() : m_properties->text();
}

QString StatusBarView::savingText() const {
    return m_saving->isHidden() ? QString() : m_saving->text();
}

void StatusBarView::refresh() {
    if (!m_document)
        return;
    const qsizetype selected = m_document->selectedFiles().size();
    const qsizetype files = m_document->files().size();
    if (selected > 0)
        m_count->setText(tr("%n files selected", nullptr, int(selected)));
    else if (m_document->isFiltering())
        m_count->setText(tr("%1 of %n files", nullptr, int(files)).arg(m_document->shownCount()));
    else
        m_count->setText(tr("%n files", nullptr, int(files)));

    const qsizetype modified = m_document->modifiedCount();
    m_dot->setVisible(modified > 0);
    m_modified->setVisible(modified > 0);
    m_modified->setText(tr("%1 modified").arg(modified));

    const bool saving = m_document->isSaving();
    const std::optional<AudioProperties> properties = m_document->firstSelectedProperties();
    m_properties->setVisible(!saving && properties.has_value());
    if (properties)
        m_properties->setText(properties->formattedBitrate() + QStringLiteral(" · ") +
                              properties->formattedSampleRate());
    m_saveButton->setVisible(!saving && modified > 0);

    // A save's progress, else that of artwork work or moves of files in the background.
    const bool working = !saving && m_document->work().isWorking();
    m_saveProgress->setVisible(saving || working);
    m_saving->setVisible(saving || working);
    if (saving) {
        const SaveProgress progress = m_document->saveProgress();
        m_saveProgress->setValue(progress.total < 1 ? 0 : int(1000 * progress.completed / progress.total));
        // The file being written, counted from one.
        const qint64 current = std::min(progress.completed + 1, std::max<qint64>(progress.total, 1));
        m_saving->setText(tr("Saving %1 of %2…").arg(current).arg(progress.total));
    } else if (working) {
        const WorkProgress progress = m_document->work().progress();
        m_saveProgress->setValue(progress.total < 1 ? 0 : int(1000 * progress.completed / progress.total));
        // Moves count two steps a file (parked, then placed): only the bar shows their progress.
        m_saving->setText(
            m_document->isMovingFiles() ? tr("Moving files…")
            : progress.total < 1
                ? tr("Working on artwork…")
                : tr("Working on artwork… %1 of %2").arg(progress.completed).arg(progress.total));
    }
}
