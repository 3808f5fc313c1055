#pragma once

#include "Quire/ViewModels/DocumentTypes.h"

#include <QString>
#include <optional>

// The columns of the file list, in display order.
enum class FileColumn {
    modified,
    filename,
    title,
    artist,
    album,
    track,
    duration,
    format,
    bitrate,
    sampleRate,
    folder
};

struct ColumnInfo {
    FileColumn column;
    const char* key;   // names the column in the settings
    const char* title; // translated in the model
    int width;
    int minWidth;
    int maxWidth;
    bool flexible; // shares the width left over by the others when first fitted
    std::optional<SortKey> sortKey;
};

namespace FileListColumns {
inline constexpr int count = 11;
const ColumnInfo& at(int column);
bool isEditable(FileColumn column);
// The tag field a column shows, if any.
std::optional<TagField> fieldOf(FileColumn column);
// Monospaced digits: the fixed font.
bool isNumeric(FileColumn column);
// Shown in the secondary text colour.
bool isSecondary(FileColumn column);
// Hidden until the user shows it.
bool isHiddenAtFirst(FileColumn column);
} // namespace FileListColumns
