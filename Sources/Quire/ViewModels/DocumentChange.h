#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QSet>
#include <QUuid>

// What one change of the document's file list did, so that views can follow
// it row by row instead of re-reading the whole list: which files were added,
// removed, put in another order or changed, and what changed in them.
struct DocumentChange {
    QSet<QUuid> added;
    QSet<QUuid> removed;
    // The files in both lists stand in another order.
    bool reordered = false;
    // Files in both lists whose records differ (tags, pictures, location or marks).
    QSet<QUuid> changed;
    // The tag fields that differ in any changed file.
    QSet<TagField> fields;
    // The custom items (by name) that differ in any changed file.
    QSet<QString> customItems;
    // Changed files that were moved on disk.
    QSet<QUuid> renamed;
    bool artworkChanged = false;

    bool isEmpty() const { return added.isEmpty() && removed.isEmpty() && !reordered && changed.isEmpty(); }
    bool operator==(const DocumentChange&) const = default;

    // The change that turns `before` into `after`. Records both lists share
    // are unchanged, which costs one pointer comparison a file.
    static DocumentChange between(const QList<AudioFile>& before, const QList<AudioFile>& after);
};
