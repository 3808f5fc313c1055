#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/PictureStore.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class ArtworkThumbnail;
class DocumentViewModel;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QToolButton;

// The "Artwork" section of the inspector: the pictures the selected files share (or that they differ),
// the frame selector, and the ways to set, copy, export, optimise and remove pictures. Setting and
// removing go through the document and apply to the whole selection.
//
// Pictures are decoded for display in the background; so are chosen, pasted and dropped images, which
// are re-encoded as front-cover JPEGs before the document gets them. Such a result is dropped when the
// selection has changed in the meantime, so it never lands on files the user did not mean.
class ArtworkPanel : public QWidget {
    Q_OBJECT
public:
    enum class State { artwork, empty, varies };

    explicit ArtworkPanel(DocumentViewModel* document, QWidget* parent = nullptr);

    State state() const { return m_state; }
    int selectedFrameIndex() const { return m_frameIndex; }
    void setSelectedFrameIndex(int index);
    // The picture shown large, in the artwork state.
    std::optional<Artwork> shownArtwork() const;
    // Where the shown pictures can be read.
    PictureSource shownSource() const;
    ArtworkThumbnail* thumbnail() const { return m_thumbnail; }
    QList<ArtworkThumbnail*> frameThumbnails() const { return m_frames; }
    QString captionText() const;
    QWidget* dropTarget() const; // of the current state

    // The thumbnail's context menu.
    QMenu* createContextMenu(QWidget* parent);

    // The actions; those with a panel or sheet open it non-modally and act when it is confirmed.
    void chooseImage();
    void pasteImage();
    void copyShownArtwork();
    void exportShownArtwork();
    void exportAllArtwork();
    void showOptimizeSheet();
    void removeArtwork();

    // Writes the shown picture's bytes unchanged to `location`; false when it could not.
    bool exportShownArtworkTo(const QUrl& location);
    // Writes every picture of every selected file, bytes unchanged, into the folder as
    // name-artwork.ext or name-frameN.ext, replacing files of the same name; returns how many were written.
    // Writes in the background; `done` hears how many pictures were written.
    void exportAllArtworkTo(const QUrl& folder, const std::function<void(int)>& done = {}) const;

signals:
    // An image the user gave (chosen, pasted, dropped) reached the document, or was dropped.
    void imageHandled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The shown picture's bytes; none, after an alert, when its file no longer holds it.
    std::optional<QByteArray> shownBytes();
    void refresh();
    void showFrames(const QList<Artwork>& pictures);
    void showShownFrame();
    // Loads an image in the background, makes a front-cover JPEG of it and sets it on the selection as it
    // was when asked.
    void setImageLater(std::function<std::optional<Artwork>()> make);
    void setDropTargeted(QWidget* target, bool targeted);
    QWidget* buildArtworkState();
    QWidget* buildDropBox(bool dashed, const QString& symbol, const QString& text);

    QPointer<DocumentViewModel> m_document;
    State m_state = State::empty;
    int m_frameIndex = 0;
    QList<AudioFile> m_shownFiles; // the selected files last shown
    std::optional<QList<Artwork>> m_shared;

    QWidget* m_artworkState = nullptr;
    QWidget* m_emptyState = nullptr;
    QWidget* m_variesState = nullptr;
    QWidget* m_emptyWell = nullptr;
    QWidget* m_variesBox = nullptr;
    ArtworkThumbnail* m_thumbnail = nullptr;
    QLabel* m_caption = nullptr;
    QScrollArea* m_frameScroller = nullptr;
    QWidget* m_frameStrip = nullptr;
    QHBoxLayout* m_frameLayout = nullptr;
    QList<ArtworkThumbnail*> m_frames;
};
