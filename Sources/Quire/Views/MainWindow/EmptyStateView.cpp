#include "Quire/Views/MainWindow/EmptyStateView.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/FileDrops.h"
#include "Quire/Views/Common/ProminentButton.h"
#include "Quire/Views/Common/Symbols.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

EmptyStateView::EmptyStateView(DocumentViewModel* document, CommandCenter* commands, QWidget* parent)
    : QWidget(parent)
    , m_document(document) {
    setAcceptDrops(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* symbol = new QLabel(this);
    symbol->setPixmap(Symbols::icon(QStringLiteral("music.note.list")).pixmap(56, 56, QIcon::Disabled));
    symbol->setAlignment(Qt::AlignCenter);

    auto* title = new QLabel(tr("No Audio Files"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto* description = new QLabel(tr("Drag audio files or folders here to start editing tags.\n"
                                      "Supports MP3, FLAC, M4A, WAV, AIFF, OGG, Opus, DSF."),
                                   this);
    description->setAlignment(Qt::AlignCenter);
    description->setForegroundRole(QPalette::PlaceholderText);

    m_openButton = new ProminentButton(tr("Open Files…"), this);
    m_openButton->setDefault(true);
    m_openButton->setAutoDefault(true);
    connect(m_openButton, &QPushButton::clicked, this, [commands] {
        if (commands)
            commands->post(Commands::openFiles);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(symbol);
    layout->addSpacing(8);
    layout->addWidget(title);
    layout->addWidget(description);
    layout->addSpacing(12);
    layout->addWidget(m_openButton, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void EmptyStateView::dragEnterEvent(QDragEnterEvent* event) {
    if (FileDrops::carriesFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void EmptyStateView::dropEvent(QDropEvent* event) {
    if (!m_document)
        return;
    m_document->importFiles(FileDrops::fileUrls(event->mimeData()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
