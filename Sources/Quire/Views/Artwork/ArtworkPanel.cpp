#include "Quire/Views/Artwork/ArtworkPanel.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/ArtworkProcessing.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/Preferences.h"
#include "Quire/Views/Artwork/ArtworkOptimizeSheet.h"
#include "Quire/Views/Artwork/ArtworkThumbnail.h"
#include "Quire/Views/Artwork/PictureLoading.h"
#include "Quire/Views/Common/Alerts.h"
#include "Quire/Views/Common/FileChooser.h"
#include "Quire/Views/Common/FileDrops.h"
#include "Quire/Views/Common/Symbols.h"
#include "QuireCore/PictureDecoder.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Encoded picture bytes another program offers (TIFF or PNG first, then any image type), so that the
// helpers decode them rather than Qt's clipboard code in this process; empty when there are none.
QByteArray offeredPictureBytes(const QMimeData* mime) {
    QStringList formats{QStringLiteral("image/tiff"), QStringLiteral("image/png")};
    for (const QString& format : mime->formats())
        if (format.startsWith(u"image/") && !formats.contains(format))
            formats.append(format);
    for (const QString& format : std::as_const(formats))
        if (QByteArray bytes = mime->data(format); !bytes.isEmpty())
            return bytes;
    return {};
}

// The drop well of the empty state (dashed) and the box of the varies state.
class DropBox : public QWidget {
public:
    DropBox(bool dashed, const QString& symbol, const QString& text, QWidget* parent)
        : QWidget(parent)
        , m_dashed(dashed)
        , m_symbol(symbol)
        , m_text(text) {
        setFixedHeight(80);
        setMinimumWidth(120);
        setAcceptDrops(true);
        setAccessibleName(text);
    }
    void setTargeted(bool targeted) {
        m_targeted = targeted;
        update();
    }
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
        const QColor accent = palette().color(QPalette::Highlight);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.35);
        QColor fill = m_targeted ? accent : palette().color(QPalette::WindowText);
        fill.setAlphaF(m_targeted ? 0.12 : (m_dashed ? 0.0 : 0.05));
        painter.setBrush(fill);
        painter.setPen(m_dashed || m_targeted
                           ? QPen(m_targeted ? accent : line, 1.5, m_dashed ? Qt::DashLine : Qt::SolidLine)
                           : Qt::NoPen);
        painter.drawRoundedRect(area, 8, 8);

        const QPixmap symbol = Symbols::icon(m_symbol).pixmap(22, 22);
        QFont small = font();
        small.setPointSizeF(font().pointSizeF() * 0.85);
        painter.setFont(small);
        const int textHeight = QFontMetrics(small).height();
        const qreal top = area.center().y() - (22 + 4 + textHeight) / 2.0;
        painter.setOpacity(0.7);
        painter.drawPixmap(QPointF(area.center().x() - 11, top), symbol);
        painter.setOpacity(1);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(QRectF(area.left() + 4, top + 26, area.width() - 8, textHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter,
                         QFontMetrics(small).elidedText(m_text, Qt::ElideRight, int(area.width()) - 8));
    }

private:
    bool m_dashed;
    bool m_targeted = false;
    QString m_symbol;
    QString m_text;
};

QFont captionFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

QString captionOf(const Artwork& picture) {
    QStringList parts;
    if (picture.width > 0 && picture.height > 0)
        parts.append(picture.formattedDimensions());
    parts.append(picture.formattedSize());
    parts.append(displayName(picture.type));
    return parts.join(QStringLiteral(" · "));
}

bool offersImage(const QMimeData* mime) {
    return mime && (FileDrops::carriesFiles(mime) || mime->hasImage());
}

// Whether the files hold the same pictures as before; pictures untouched since are shared, not compared.
bool samePictures(const QList<AudioFile>& now, const QList<AudioFile>& before) {
    if (now.size() != before.size())
        return false;
    for (qsizetype i = 0; i < now.size(); ++i) {
        if (now[i].id() != before[i].id())
            return false;
        const QList<Artwork>& a = now[i].artwork();
        const QList<Artwork>& b = before[i].artwork();
        if (a.constData() != b.constData() && a != b)
            return false;
    }
    return true;
}

QPushButton* borderedButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

ArtworkPanel::ArtworkPanel(DocumentViewModel* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document) {
    setObjectName(QStringLiteral("artworkPanel"));
    auto* title = new QLabel(tr("Artwork"), this);
    QFont titleFont = font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setForegroundRole(QPalette::PlaceholderText);

    m_artworkState = buildArtworkState();

    m_emptyState = new QWidget(this);
    m_emptyWell = buildDropBox(true, QStringLiteral("photo.badge.plus"), tr("Drop image here"));
    m_emptyWell->setParent(m_emptyState);
    auto* choose = borderedButton(tr("Choose…"), m_emptyState);
    auto* paste = borderedButton(tr("Paste"), m_emptyState);
    connect(choose, &QPushButton::clicked, this, &ArtworkPanel::chooseImage);
    connect(paste, &QPushButton::clicked, this, &ArtworkPanel::pasteImage);
    auto* emptyButtons = new QHBoxLayout;
    emptyButtons->addWidget(choose);
    emptyButtons->addWidget(paste);
    emptyButtons->addStretch(1);
    auto* emptyLayout = new QVBoxLayout(m_emptyState);
    emptyLayout->setContentsMargins(0, 0, 0, 0);
    emptyLayout->addWidget(m_emptyWell);
    emptyLayout->addLayout(emptyButtons);

    m_variesState = new QWidget(this);
    m_variesBox =
        buildDropBox(false, QStringLiteral("photo.stack"), tr("Different artwork across selection"));
    m_variesBox->setParent(m_variesState);
    auto* chooseAll = borderedButton(tr("Choose for All…"), m_variesState);
    auto* pasteAll = borderedButton(tr("Paste to All"), m_variesState);
    connect(chooseAll, &QPushButton::clicked, this, &ArtworkPanel::chooseImage);
    connect(pasteAll, &QPushButton::clicked, this, &ArtworkPanel::pasteImage);
    auto* variesButtons = new QHBoxLayout;
    variesButtons->addWidget(chooseAll);
    variesButtons->addWidget(pasteAll);
    variesButtons->addStretch(1);
    auto* variesLayout = new QVBoxLayout(m_variesState);
    variesLayout->setContentsMargins(0, 0, 0, 0);
    variesLayout->addWidget(m_variesBox);
    variesLayout->addLayout(variesButtons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(title);
    layout->addWidget(m_artworkState);
    layout->addWidget(m_emptyState);
    layout->addWidget(m_variesState);

    for (QWidget* target : {static_cast<QWidget*>(m_thumbnail), m_emptyWell, m_variesBox})
        target->installEventFilter(this);

    connect(document, &DocumentViewModel::selectedFilesChanged, this, [this] {
        m_frameIndex = 0;
        refresh();
    });
    connect(document, &DocumentViewModel::filesChanged, this, &ArtworkPanel::refresh);
    m_shownFiles = {AudioFile()}; // differs from any selection: the first refresh shows
    refresh();
}

QWidget* ArtworkPanel::buildDropBox(bool dashed, const QString& symbol, const QString& text) {
    return new DropBox(dashed, symbol, text, this);
}

QWidget* ArtworkPanel::buildArtworkState() {
    auto* state = new QWidget(this);
    m_thumbnail = new ArtworkThumbnail(80, state);
    m_thumbnail->setAcceptDrops(true);
    m_thumbnail->setContextMenuPolicy(Qt::CustomContextMenu);
    m_thumbnail->setAccessibleName(tr("Artwork"));
    connect(m_thumbnail, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        QMenu* menu = createContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_thumbnail->mapToGlobal(position));
    });

    m_caption = new QLabel(state);
    m_caption->setFont(captionFont(font()));
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    auto* captionScroller = new QScrollArea(state);
    captionScroller->setWidget(m_caption);
    captionScroller->setFrameShape(QFrame::NoFrame);
    captionScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    captionScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    captionScroller->setFixedHeight(QFontMetrics(m_caption->font()).height() + 2);
    captionScroller->setWidgetResizable(false);
    captionScroller->viewport()->setAutoFillBackground(false);
    captionScroller->setFocusPolicy(Qt::NoFocus);

    m_frameStrip = new QWidget;
    m_frameLayout = new QHBoxLayout(m_frameStrip);
    m_frameLayout->setContentsMargins(0, 0, 0, 0);
    m_frameLayout->setSpacing(4);
    m_frameScroller = new QScrollArea(state);
    m_frameScroller->setWidget(m_frameStrip);
    m_frameScroller->setFrameShape(QFrame::NoFrame);
    m_frameScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frameScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frameScroller->setFixedHeight(44);
    m_frameScroller->viewport()->setAutoFillBackground(false);
    m_frameScroller->setFocusPolicy(Qt::NoFocus);

    // Tool buttons: push buttons are too wide to fit four beside the picture in a narrow pane.
    const auto compactButton = [state](const QString& text) {
        auto* button = new QToolButton(state);
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        return button;
    };
    QToolButton* choose = compactButton(tr("Choose…"));
    QToolButton* paste = compactButton(tr("Paste"));
    connect(choose, &QToolButton::clicked, this, &ArtworkPanel::chooseImage);
    connect(paste, &QToolButton::clicked, this, &ArtworkPanel::pasteImage);
    auto* more = new QToolButton(state);
    more->setIcon(Symbols::icon(QStringLiteral("ellipsis.circle")));
    more->setToolTip(tr("More artwork actions"));
    more->setAccessibleName(tr("More artwork actions"));
    more->setPopupMode(QToolButton::InstantPopup);
    auto* moreMenu = new QMenu(more);
    moreMenu->addAction(tr("Export Artwork…"), this, &ArtworkPanel::exportShownArtwork);
    moreMenu->addAction(tr("Export All to Folder…"), this, &ArtworkPanel::exportAllArtwork);
    moreMenu->addAction(tr("Optimize…"), this, &ArtworkPanel::showOptimizeSheet);
    more->setMenu(moreMenu);
    auto* remove = new QToolButton(state);
    remove->setIcon(Symbols::icon(QStringLiteral("trash")));
    remove->setToolTip(tr("Remove artwork from selected files"));
    remove->setAccessibleName(tr("Remove artwork from selected files"));
    connect(remove, &QToolButton::clicked, this, &ArtworkPanel::removeArtwork);
    const int height = std::max(choose->sizeHint().height(), 24);
    for (QToolButton* button : {choose, paste, more, remove})
        button->setFixedHeight(height);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(4);
    actions->addWidget(choose);
    actions->addWidget(paste);
    actions->addWidget(more);
    actions->addWidget(remove);
    actions->addStretch(1);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(captionScroller);
    column->addWidget(m_frameScroller);
    column->addStretch(1);
    column->addLayout(actions);

    auto* row = new QHBoxLayout(state);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(m_thumbnail, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    return state;
}

void ArtworkPanel::refresh() {
    if (!m_document)
        return;
    const QList<AudioFile> selected = m_document->selectedAudioFiles();
    const bool unchanged = samePictures(selected, m_shownFiles);
    m_shownFiles = selected; // where the pictures are read: a rename moves them
    if (unchanged)
        return; // typing in the inspector changes the files, not their pictures
    m_shared = AudioFile::batchArtwork(selected);
    m_state = !m_shared ? State::varies : m_shared->isEmpty() ? State::empty : State::artwork;
    m_artworkState->setVisible(m_state == State::artwork);
    m_emptyState->setVisible(m_state == State::empty);
    m_variesState->setVisible(m_state == State::varies);
    showFrames(m_state == State::artwork ? *m_shared : QList<Artwork>());
    showShownFrame();
}

void ArtworkPanel::showFrames(const QList<Artwork>& pictures) {
    const qsizetype wanted = pictures.size() >= 2 ? pictures.size() : 0;
    while (m_frames.size() > wanted)
        delete m_frames.takeLast();
    while (m_frames.size() < wanted) {
        auto* frame = new ArtworkThumbnail(40, m_frameStrip);
        const int index = int(m_frames.size());
        connect(frame, &ArtworkThumbnail::clicked, this, [this, index] { setSelectedFrameIndex(index); });
        m_frameLayout->addWidget(frame);
        m_frames.append(frame);
    }
    for (qsizetype i = 0; i < m_frames.size(); ++i)
        m_frames[i]->setArtwork(pictures[i], shownSource());
    m_frameStrip->adjustSize();
    m_frameScroller->setVisible(wanted > 0);
}

// The pictures shown are those every selected file holds: the first can give their bytes.
PictureSource ArtworkPanel::shownSource() const {
    return m_document && !m_shownFiles.isEmpty() ? m_document->pictureSource(m_shownFiles.first())
                                                 : PictureSource{};
}

std::optional<Artwork> ArtworkPanel::shownArtwork() const {
    if (m_state != State::artwork || !m_shared || m_shared->isEmpty())
        return std::nullopt;
    return m_shared->at(std::min<qsizetype>(m_frameIndex, m_shared->size() - 1));
}

void ArtworkPanel::setSelectedFrameIndex(int index) {
    m_frameIndex = std::max(0, index);
    showShownFrame();
}

void ArtworkPanel::showShownFrame() {
    const std::optional<Artwork> shown = shownArtwork();
    m_thumbnail->setArtwork(shown, shownSource());
    m_caption->setText(shown ? captionOf(*shown) : QString());
    m_caption->adjustSize();
    const int current = m_shared ? int(std::min<qsizetype>(m_frameIndex, m_shared->size() - 1)) : -1;
    for (qsizetype i = 0; i < m_frames.size(); ++i)
        m_frames[i]->setOutlined(i == current);
}

QString ArtworkPanel::captionText() const {
    return m_state == State::artwork ? m_caption->text() : QString();
}

QWidget* ArtworkPanel::dropTarget() const {
    switch (m_state) {
    case State::artwork:
        return m_thumbnail;
    case State::empty:
        return m_emptyWell;
    case State::varies:
        return m_variesBox;
    }
    return nullptr;
}

QMenu* ArtworkPanel::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->addAction(tr("Copy Artwork"), this, &ArtworkPanel::copyShownArtwork);
    menu->addSeparator();
    menu->addAction(tr("Export Artwork…"), this, &ArtworkPanel::exportShownArtwork);
    menu->addAction(tr("Export All to Folder…"), this, &ArtworkPanel::exportAllArtwork);
    menu->addAction(tr("Optimize…"), this, &ArtworkPanel::showOptimizeSheet);
    menu->addSeparator();
    menu->addAction(tr("Remove Artwork"), this, &ArtworkPanel::removeArtwork);
    return menu;
}

void ArtworkPanel::setImageLater(std::function<std::optional<Artwork>()> make) {
    if (!m_document)
        return;
    const QSet<QUuid> selection = m_document->selectedFiles();
    auto* watcher = new QFutureWatcher<std::optional<Artwork>>(this);
    connect(watcher, &QFutureWatcher<std::optional<Artwork>>::finished, this, [this, watcher, selection] {
        const std::optional<Artwork> artwork = watcher->result();
        watcher->deleteLater();
        if (artwork && m_document && m_document->selectedFiles() == selection)
            m_document->artworkOperations().setArtwork(*artwork);
        emit imageHandled();
    });
    watcher->setFuture(QtConcurrent::run(PictureLoading::pool(), std::move(make)));
}

void ArtworkPanel::chooseImage() {
    auto* dialog = new QFileDialog(window(), tr("Choose an image to use as artwork"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setMimeTypeFilters({QStringLiteral("image/jpeg"), QStringLiteral("image/png"),
                                QStringLiteral("image/bmp"), QStringLiteral("image/tiff"),
                                QStringLiteral("image/gif"), QStringLiteral("image/webp")});
    whenChosen(dialog, this, [this](const QUrl& location) {
        setImageLater([location] { return ArtworkProcessing::coverArtworkFromFile(location); });
    });
    dialog->show();
}

void ArtworkPanel::pasteImage() {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime)
        return;
    if (const QByteArray bytes = offeredPictureBytes(mime); !bytes.isEmpty()) {
        setImageLater([bytes] { return ArtworkProcessing::coverArtworkFromBytes(bytes); });
        return;
    }
    // An image copied within this program, offered only in Qt's own form.
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull())
            setImageLater([image] { return ArtworkProcessing::coverArtwork(image); });
    }
}

std::optional<QByteArray> ArtworkPanel::shownBytes() {
    const std::optional<Artwork> shown = shownArtwork();
    if (!shown)
        return std::nullopt;
    const Result<QByteArray, TagReaderError> bytes = shownSource().bytes(*shown);
    if (bytes)
        return bytes.value();
    Alerts::create(QMessageBox::Warning, tr("The picture could not be read"), bytes.error().description(),
                   this)
        ->open();
    return std::nullopt;
}

void ArtworkPanel::copyShownArtwork() {
    const std::optional<Artwork> shown = shownArtwork();
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    // On the GUI thread, as a copy is expected to be on the clipboard when the action returns.
    const std::optional<QByteArray> bytes = shownBytes();
    if (!bytes)
        return;
    const std::optional<QImage> image =
        defaultPictureDecoder().fitImage({*bytes, maxFittedImageEdge, maxFittedImageEdge});
    if (!image)
        return;
    auto* mime = new QMimeData;
    // The stored bytes as they are, for programs that take them; the image for all others.
    if (shown->format != ImageFormat::unknown)
        mime->setData(mimeType(shown->format), *bytes);
    mime->setImageData(*image);
    clipboard->setMimeData(mime);
}

void ArtworkPanel::exportShownArtwork() {
    const std::optional<Artwork> shown = shownArtwork();
    if (!shown)
        return;
    auto* dialog = new QFileDialog(window(), tr("Export Artwork"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setMimeTypeFilters({QStringLiteral("image/png"), QStringLiteral("image/jpeg")});
    dialog->selectFile(QStringLiteral("artwork.") + fileExtension(shown->format));
    // The picture shown now, whatever is selected when the dialog closes.
    whenChosen(dialog, this, [this, picture = *shown, source = shownSource()](const QUrl& location) {
        const Result<QByteArray, TagReaderError> bytes = source.bytes(picture);
        if (!bytes)
            Alerts::create(QMessageBox::Warning, tr("The picture could not be read"),
                           bytes.error().description(), this)
                ->open();
        else
            (void)Platform::writeReplacing(bytes.value(), location);
    });
    dialog->show();
}

bool ArtworkPanel::exportShownArtworkTo(const QUrl& location) {
    const std::optional<QByteArray> bytes = shownBytes();
    return bytes && Platform::writeReplacing(*bytes, location).ok();
}

void ArtworkPanel::exportAllArtwork() {
    auto* dialog = new QFileDialog(window(), tr("Export All to Folder"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, tr("Export"));
    whenChosen(dialog, this, [this](const QUrl& folder) { exportAllArtworkTo(folder); });
    dialog->show();
}

void ArtworkPanel::exportAllArtworkTo(const QUrl& folder, const std::function<void(int)>& done) const {
    if (m_document)
        m_document->artworkOperations().exportSelectedArtwork(folder, done);
}

void ArtworkPanel::showOptimizeSheet() {
    if (!m_document)
        return;
    // The sheet starts where the preferences say, read afresh each time it opens.
    const QSettings settings;
    auto* sheet = new ArtworkOptimizeSheet(m_document, Preferences::artworkMaxDimension(settings),
                                           Preferences::artworkJPEGQuality(settings), window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

void ArtworkPanel::removeArtwork() {
    if (m_document)
        m_document->artworkOperations().removeArtwork();
}

void ArtworkPanel::setDropTargeted(QWidget* target, bool targeted) {
    if (target == m_thumbnail)
        m_thumbnail->setDropTargeted(targeted);
    else if (auto* box = dynamic_cast<DropBox*>(target))
        box->setTargeted(targeted);
}

bool ArtworkPanel::eventFilter(QObject* watched, QEvent* event) {
    auto* target = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!offersImage(drag->mimeData()))
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        setDropTargeted(target, true);
        return true;
    }
    case QEvent::DragLeave:
        setDropTargeted(target, false);
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        setDropTargeted(target, false);
        const QMimeData* mime = drop->mimeData();
        const QList<QUrl> files = FileDrops::fileUrls(mime);
        for (const QUrl& location : files)
            setImageLater([location] { return ArtworkProcessing::coverArtworkFromFile(location); });
        const QByteArray bytes = files.isEmpty() ? offeredPictureBytes(mime) : QByteArray();
        if (!bytes.isEmpty()) {
            setImageLater([bytes] { return ArtworkProcessing::coverArtworkFromBytes(bytes); });
        } else if (files.isEmpty() && mime->hasImage()) {
            const QImage image = qvariant_cast<QImage>(mime->imageData());
            if (!image.isNull())
                setImageLater([image] { return ArtworkProcessing::coverArtwork(image); });
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}
