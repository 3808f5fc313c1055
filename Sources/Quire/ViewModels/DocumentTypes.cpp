#include "Quire/ViewModels/DocumentTypes.h"

namespace {

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Ordinary code-unit order, not locale-aware.
int threeWay(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseSensitive);
}

} // namespace

int SortDescriptor::compare(const AudioFile& a, const AudioFile& b) const {
    int order = 0;
    switch (key) {
    case SortKey::filename:
        order = threeWay(a.sortFilename(), b.sortFilename());
        break;
    case SortKey::title:
        order = threeWay(a.sortTitle(), b.sortTitle());
        break;
    case SortKey::artist:
        order = threeWay(a.sortArtist(), b.sortArtist());
        break;
    case SortKey::album:
        order = threeWay(a.sortAlbum(), b.sortAlbum());
        break;
    case SortKey::track:
        order = threeWay(a.sortTrack(), b.sortTrack());
        break;
    case SortKey::duration:
        order = threeWay(a.sortDuration(), b.sortDuration());
        break;
    case SortKey::format:
        order = threeWay(a.sortFormat(), b.sortFormat());
        break;
    case SortKey::bitrate:
        order = threeWay(a.sortBitrate(), b.sortBitrate());
        break;
    case SortKey::sampleRate:
        order = threeWay(a.sortSampleRate(), b.sortSampleRate());
        break;
    }
    return ascending ? order : -order;
}

int PatternRenameReport::movedCount() const {
    return int(std::count_if(files.begin(), files.end(),
                             [](const File& file) { return file.outcome == Outcome::moved; }));
}
