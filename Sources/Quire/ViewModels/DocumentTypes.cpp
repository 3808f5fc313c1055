#include "Quire/ViewModels/DocumentTypes.h"

#include <QCollator>
#include <QLocale>

namespace {

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text goes as the user's language orders it, whatever the case, with
// numbers by value: "abba", "Élan", "track 2", "track 10", "Zappa". The C
// locale (minimal systems, containers) orders by character code; English
// follows the language-neutral order instead.
const QCollator& collator() {
    thread_local const QCollator collator = [] {
        QCollator made(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
        made.setCaseSensitivity(Qt::CaseInsensitive);
        made.setNumericMode(true);
        return made;
    }();
    return collator;
}

int threeWay(const QString& a, const QString& b) {
    return collator().compare(a, b);
}

// Numbers by value; a side's tracks ("A1", "A2", "B1") by their text, after the numbers.
int threeWayNumber(const std::optional<qint64>& a, const std::optional<qint64>& b,
                   const std::optional<QString>& aText, const std::optional<QString>& bText) {
    if (a && b)
        return threeWay(*a, *b);
    if (a || b)
        return a ? -1 : 1;
    return threeWay(aText.value_or(QString()), bText.value_or(QString()));
}

// Disc, then track: an album's tracks stay in their order under any key that groups them.
int discAndTrack(const AudioFile& a, const AudioFile& b) {
    if (const int order =
            threeWayNumber(a.sortDisc(), b.sortDisc(), a.tags().discNumber, b.tags().discNumber))
        return order;
    return threeWayNumber(a.sortTrack(), b.sortTrack(), a.tags().trackNumber, b.tags().trackNumber);
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
        if (order == 0)
            order = discAndTrack(a, b);
        break;
    case SortKey::track:
        order = discAndTrack(a, b);
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
    case SortKey::folder:
        order = collator().compare(a.folder(), b.folder());
        break;
    case SortKey::field:
        if (field)
            order = threeWay(a.tags().value(*field).value_or(QString()),
                             b.tags().value(*field).value_or(QString()));
        break;
    }
    return ascending ? order : -order;
}

bool SortDescriptor::ordersByText() const {
    switch (key) {
    case SortKey::filename:
    case SortKey::title:
    case SortKey::artist:
    case SortKey::album:
    case SortKey::format:
    case SortKey::folder:
        return true;
    case SortKey::field:
        return field.has_value();
    case SortKey::track:
    case SortKey::duration:
    case SortKey::bitrate:
    case SortKey::sampleRate:
        return false;
    }
    return false;
}

QCollatorSortKey SortDescriptor::collationKey(const AudioFile& file) const {
    switch (key) {
    case SortKey::filename:
        return collator().sortKey(file.sortFilename());
    case SortKey::title:
        return collator().sortKey(file.sortTitle());
    case SortKey::artist:
        return collator().sortKey(file.sortArtist());
    case SortKey::album:
        return collator().sortKey(file.sortAlbum());
    case SortKey::format:
        return collator().sortKey(file.sortFormat());
    case SortKey::folder:
        return collator().sortKey(file.folder().toString());
    default:
        return collator().sortKey(field ? file.tags().value(*field).value_or(QString()) : QString());
    }
}

int SortDescriptor::compareEqualTexts(const AudioFile& a, const AudioFile& b) const {
    if (key != SortKey::album)
        return 0;
    const int order = discAndTrack(a, b);
    return ascending ? order : -order;
}

std::optional<SortDescriptor::Numbers> SortDescriptor::numbers(const AudioFile& file) const {
    switch (key) {
    case SortKey::track: {
        const std::optional<qint64> disc = file.sortDisc();
        const std::optional<qint64> track = file.sortTrack();
        if (!disc || !track)
            return std::nullopt;
        return Numbers{.first = *disc, .second = *track};
    }
    case SortKey::duration:
        return Numbers{.real = file.sortDuration()};
    case SortKey::bitrate:
        return Numbers{.first = file.sortBitrate()};
    case SortKey::sampleRate:
        return Numbers{.first = file.sortSampleRate()};
    default:
        return std::nullopt;
    }
}

int PatternRenameReport::movedCount() const {
    return int(std::count_if(files.begin(), files.end(),
                             [](const File& file) { return file.outcome == Outcome::moved; }));
}

QStringList PatternRenameReport::skippedLines() const {
    QStringList lines;
    for (const File& file : files) {
        if (!file.reason.isEmpty())
            lines.append(file.filename + QStringLiteral(": ") + file.reason);
    }
    return lines;
}
