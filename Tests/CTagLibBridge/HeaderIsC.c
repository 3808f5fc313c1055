/* The public header must compile as C: other programs link the bridge from C.
   The C++ side checks that both languages see the same record layout. */
#include "CTagLibBridge.h"

#include <stddef.h>

size_t bridgeLayoutAsSeenFromC(int which);

size_t bridgeLayoutAsSeenFromC(int which) {
    switch (which) {
    case 0:
        return sizeof(CTagLibTag);
    case 1:
        return offsetof(CTagLibTag, compilation);
    case 2:
        return offsetof(CTagLibTag, codec);
    case 3:
        return offsetof(CTagLibTag, error);
    case 4:
        return sizeof(CTagLibArtwork);
    case 5:
        return offsetof(CTagLibArtwork, pictureType);
    case 6:
        return sizeof(CTagLibArtworkWrite);
    default:
        return offsetof(CTagLibArtworkWrite, description);
    }
}
