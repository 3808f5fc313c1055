#include "Quire/ViewModels/DocumentChange.h"

#include "QuireCore/TagFieldTable.h"

#include <QHash>

#include <vector>

namespace {

void noteDifferences(DocumentChange& change, const AudioFile& old, const AudioFile& now) {
    if (now.sharesStorageWith(old))
        return;
    // The tags first: an edit differs there, and the rest need not be compared twice.
    const bool tagsDiffer = now.tags() != old.tags();
    if (!tagsDiffer && now == old)
        return;
    change.changed.insert(now.id());
    if (tagsDiffer) {
        // The members themselves, not their text: an edit of every file of a large list compares
        // every field of every file.
        forEachField([&](const auto& entry) {
            if (now.tags().*entry.model != old.tags().*entry.model)
                change.fields.insert(entry.field);
        });
        if (now.tags().custom != old.tags().custom)
            change.customItems.unite(TagSet::customVaries({old.tags(), now.tags()}));
    }
    // The paths, held as text in the record: comparing the locations would read each one's own storage.
    if (now.path() != old.path())
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

    // A record both lists share is found by its storage, without reading it (a cache miss a file, which is
    // most of the cost of a sort of a large list); only records made anew are looked up by id.
    QHash<const void*, qsizetype> sharedBefore;
    sharedBefore.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        sharedBefore.insert(before[i].storageIdentity(), i);
    QHash<QUuid, qsizetype> positionBefore; // filled at the first record made anew
    std::vector<bool> kept(before.size());
    qsizetype lastPosition = -1;
    for (const AudioFile& file : after) {
        qsizetype old = sharedBefore.value(file.storageIdentity(), -1);
        if (old < 0) {
            if (positionBefore.isEmpty()) {
                positionBefore.reserve(before.size());
                for (qsizetype i = 0; i < before.size(); ++i)
                    positionBefore.insert(before[i].id(), i);
            }
            const auto found = positionBefore.constFind(file.id());
            if (found == positionBefore.constEnd()) {
                change.added.insert(file.id());
                continue;
            }
            old = found.value();
        }
        kept[old] = true;
        if (old < lastPosition)
            change.reordered = true;
        lastPosition = old;
        noteDifferences(change, before[old], file);
    }
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (!kept[i])
            change.removed.insert(before[i].id());
    }
    return change;
}
