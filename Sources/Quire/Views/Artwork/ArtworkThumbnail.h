#pragma once

#include "QuireCore/Artwork.h"
#include "QuireCore/PictureStore.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>
#include <optional>

// One picture, scaled to fit a square of maxSize with rounded corners. The picture is decoded in the
// background; until it arrives the square stays blank, and a picture that does not decode shows a note
// symbol with its format and size instead.
class ArtworkThumbnail : public QWidget {
    Q_OBJECT
public:
    explicit ArtworkThumbnail(int maxSize, QWidget* parent = nullptr);

    // Shows another picture, read from `source` when it does not hold its bytes; a result still on its way
    // for the previous one is dropped.
    void setArtwork(const std::optional<Artwork>& artwork, const PictureSource& source = {});
    const std::optional<Artwork>& artwork() const { return m_artwork; }
    int maxSize() const { return m_maxSize; }

    void setOutlined(bool outlined);
    // A drag hovers over the thumbnail.
    void setDropTargeted(bool targeted);

    bool isLoading() const { return m_loading; }
    // Loaded, and the picture did not decode.
    bool showsPlaceholder() const { return !m_loading && m_artwork && m_image.isNull(); }
    const QImage& image() const { return m_image; }

    QSize sizeHint() const override { return {m_maxSize, m_maxSize}; }

signals:
    void loaded();
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showResult(quint64 generation, const QImage& image);

    int m_maxSize;
    std::optional<Artwork> m_artwork;
    QImage m_image;
    bool m_loading = false;
    bool m_outlined = false;
    bool m_dropTargeted = false;
    quint64 m_generation = 0;
};
