#pragma once

#include "QuireCore/PictureStore.h"

#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QSize>
#include <QThreadPool>

// Picture work for display, kept off the GUI thread: a large cover takes a tenth of a second or more to
// decode, which selection changes must not wait for.
namespace PictureLoading {

// The pool every picture job of the views runs in, apart from the document's own image work.
QThreadPool* pool();

// The picture decoded by the default PictureDecoder (in a helper process) and shrunk to fit `bounds` (device
// pixels), never enlarged; a null image when the bytes do not decode or the decoder failed. Safe on any
// thread; blocks while the helper works.
QImage decodeToFit(const QByteArray& data, QSize bounds);

// decodeToFit in the pool, the bytes read from `source` first when the picture does not hold them.
QFuture<QImage> decodeToFitLater(const Artwork& picture, const PictureSource& source, QSize bounds);

} // namespace PictureLoading
