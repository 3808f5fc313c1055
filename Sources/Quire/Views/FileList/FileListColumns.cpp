#include "Quire/Views/FileList/FileListColumns.h"

#include <QtGlobal>
#include <array>

namespace {
constexpr std::array<ColumnInfo, FileListColumns::count> columnInfos{{
    {FileColumn::modified, "modified", "", 16, 16, 16, false, std::nullopt},
    {FileColumn::filename, "filename", QT_TRANSLATE_NOOP("FileListModel", "Filename"), 280, 240, 2000, true,
     SortKey::filename},
    {FileColumn::title, "title", QT_TRANSLATE_NOOP("FileListModel", "Title"), 200, 180, 2000, true,
     SortKey::title},
    {FileColumn::artist, "artist", QT_TRANSLATE_NOOP("FileListModel", "Artist"), 140, 120, 2000, true,
     SortKey::artist},
    {FileColumn::album, "album", QT_TRANSLATE_NOOP("FileListModel", "Album"), 140, 120, 2000, true,
     SortKey::album},
    {FileColumn::track, "track", "#", 40, 32, 60, false, SortKey::track},
    {FileColumn::duration, "duration", QT_TRANSLATE_NOOP("FileListModel", "Duration"), 70, 60, 110, false,
     SortKey::duration},
    {FileColumn::format, "format", QT_TRANSLATE_NOOP("FileListModel", "Format"), 60, 50, 90, false,
     SortKey::format},
    {FileColumn::bitrate, "bitrate", QT_TRANSLATE_NOOP("FileListModel", "Bitrate"), 70, 60, 110, false,
     SortKey::bitrate},
    {FileColumn::sampleRate, "sampleRate", QT_TRANSLATE_NOOP("FileListModel", "Sample Rate"), 80, 70, 130,
     false, SortKey::sampleRate},
    {FileColumn::folder, "folder", QT_TRANSLATE_NOOP("FileListModel", "Folder"), 200, 80, 2000, false,
     SortKey::folder},
}};
} // namespace

const ColumnInfo& FileListColumns::at(int column) {
    Q_ASSERT(column >= 0 && column < count);
    return columnInfos[static_cast<size_t>(column)];
}

bool FileListColumns::isEditable(FileColumn column) {
    switch (column) {
    case FileColumn::filename:
    case FileColumn::title:
    case FileColumn::artist:
    case FileColumn::album:
    case FileColumn::track:
        return true;
    default:
        return false;
    }
}

std::optional<TagField> FileListColumns::fieldOf(FileColumn column) {
    switch (column) {
    case FileColumn::title:
        return TagField::title;
    case FileColumn::artist:
        return TagField::artist;
    case FileColumn::album:
        return TagField::album;
    case FileColumn::track:
        return TagField::trackNumber;
    default:
        return std::nullopt;
    }
}

bool FileListColumns::isNumeric(FileColumn column) {
    return column == FileColumn::track || column == FileColumn::duration || column == FileColumn::bitrate ||
           column == FileColumn::sampleRate;
}

bool FileListColumns::isSecondary(FileColumn column) {
    return column == FileColumn::duration || column == FileColumn::format || column == FileColumn::bitrate ||
           column == FileColumn::sampleRate || column == FileColumn::folder;
}

bool FileListColumns::isHiddenAtFirst(FileColumn column) {
    return column == FileColumn::folder;
}
