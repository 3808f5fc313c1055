#include "Quire/ViewModels/DocumentChange.h"

#include "QuireCore/TagFieldTable.h"

#include <QHash>

namespace {

void noteDifferences(DocumentChange& change, const AudioFile& old, const AudioFile& now) {
    if (now.sharesStorageWith(old) || now == old)
        return;
    change.changed.insert(now.id());
    if (now.tags() != old.tags()) {
        // The members themselves, not their text: an edit of every file of a large list compares
        // every field of every file.
        forEachField([&](const auto& entry) {
            if (now.tags().*entry.model != old.tags().*entry.model)
                change.fields.insert(entry.field);
        });
        if (now.tags().custom != old.tags().custom)
            change.customItems.unite(TagSet::customVaries({old.tags(), now.tags()}));
    }
    if (now.url() != old.url())
        change.renamed.insert(now.id());
    if (now.artwork() != old.artwork())
        change.artworkChanged = true;
}

} // namespace

DocumentChange DocumentChange::between(const QList<AudioFile>& before, const QList<AudioFile>& after) {
    DocumentChange change;
    // Most changes keep every file where it stands, or append files (an
    // import): compare in place.
    if (after.size() >= before.size()) {
        qsizetype i = 0;
        // A record both lists share is the same file: its id is not read (a cache miss a file).
        for (;
             i < before.size() && (before[i].sharesStorageWith(after[i]) || before[i].id() == after[i].id());
             ++i)
            noteDifferences(change, before[i], after[i]);
        if (i == before.size()) {
            for (; i < after.size(); ++i)
                change.added.insert(after[i].id());
            return change;
        }
        change = {};
    }

    QHash<QUuid, qsizetype> positionBefore;
    positionBefore.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        positionBefore.insert(before[i].id(), i);
    QSet<QUuid> kept;
    kept.reserve(after.size());
    qsizetype lastPosition = -1;
    for (const AudioFile& file : after) {
        const auto old = positionBefore.constFind(file.id());
        if (old == positionBefore.constEnd()) {
            change.added.insert(file.id());
            continue;
        }
        kept.insert(file.id());
        if (old.value() < lastPosition)
            change.reordered = true;
        lastPosition = old.value();
        noteDifferences(change, before[old.value()], file);
    }
    for (const AudioFile& file : before) {
        if (!kept.contains(file.id()))
            change.removed.insert(file.id());
    }
    return change;
}
