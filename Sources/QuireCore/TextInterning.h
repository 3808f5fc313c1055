#pragma once

#include <QString>

// Equal texts held once. Across a library, item names repeat in every file and
// many values in every track of an album (artist, album, label, the album's
// identifiers); held once, they cost their bytes once. Returns a copy that
// shares its characters with every earlier equal text still in use somewhere.
// Safe to call from several threads at once.
QString internText(const QString& text);

struct TagSet;
// The texts a library repeats from file to file held once: every item name,
// and the values an album's tracks share. Titles, comments and lyrics are
// mostly a file's own and stay as they are.
TagSet withSharedTexts(TagSet tags);
