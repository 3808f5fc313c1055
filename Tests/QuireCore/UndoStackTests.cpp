#include "QuireCore/UndoManager.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

FileSnapshot snapshotWith(const char* name) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/music/") + QLatin1String(name));
    const AudioFile file(QUuid::createUuid(), url, AudioFormat::mp3, std::nullopt, {}, {}, {});
    return {{file}, {file.id()}};
}

TEST(UndoHistory, UndoAndRedoSwapSnapshotsBetweenTheStacks) {
    UndoStack stack(2);
    const FileSnapshot a = snapshotWith("a.mp3"), b = snapshotWith("b.mp3"), c = snapshotWith("c.mp3");
    EXPECT_FALSE(stack.undo(a).has_value());
    stack.push(QStringLiteral("first"), a);
    stack.push(QStringLiteral("second"), b);
    stack.push(QStringLiteral("third"), c); // beyond the depth: "first" goes
    EXPECT_EQ(stack.undoDescriptions().size(), 2);
    EXPECT_EQ(stack.undoDescription(), QStringLiteral("third"));

    const FileSnapshot now = snapshotWith("now.mp3");
    EXPECT_EQ(stack.undo(now), c);
    EXPECT_EQ(stack.redoDescription(), QStringLiteral("third"));
    EXPECT_EQ(stack.redo(c), now); // redo hands back the state undo replaced
    EXPECT_FALSE(stack.canRedo());
    stack.undo(now);
    stack.push(QStringLiteral("new"), a);
    EXPECT_FALSE(stack.canRedo());
    stack.clear();
    EXPECT_FALSE(stack.canUndo());
    EXPECT_EQ(stack.undoDescription(), std::nullopt);
}

// Every kind of difference between two states, in both directions, and a
// history that resolves its steps one from the next.
TEST(UndoHistory, DeltasGiveEveryStateBackExactly) {
    QList<AudioFile> files;
    for (int i = 0; i < 40; ++i) {
        TagSet tags;
        tags.title = QStringLiteral("Title %1").arg(i);
        tags.trackNumber = QString::number(i);
        files.append(AudioFile(QUuid::createUuid(),
                               QUrl::fromLocalFile(QStringLiteral("/music/%1.flac").arg(i)),
                               AudioFormat::flac, std::nullopt, {}, tags, {}));
    }
    const FileSnapshot a{files, {files[0].id()}};

    FileSnapshot b = a; // whole-library edit of one field, a few other changes
    for (AudioFile& file : b.files) {
        TagSet tags = file.tags();
        tags.genre = QStringLiteral("Jazz");
        file.setTags(tags);
        file.setModified(true);
    }
    TagSet odd = b.files[3].tags();
    odd.trackNumber.reset();
    odd.compilation = true;
    odd.custom.insert(QStringLiteral("MOOD"), QStringLiteral("calm"));
    b.files[3].setTags(odd);
    b.files[5].setUrl(QUrl::fromLocalFile(QStringLiteral("/music/renamed.flac")));
    const QByteArray picture = QByteArrayLiteral("\xff\xd8\xff\xe0 picture bytes");
    const Artwork cover = Artwork::holding(picture, ImageFormat::jpeg, ArtworkType::frontCover);
    b.files[6].setArtwork({cover});
    b.files[7].setLastSaved(QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    b.selectedFiles = {files[1].id(), files[2].id()};

    FileSnapshot c = b; // reordered, one file gone, one new
    std::reverse(c.files.begin(), c.files.end());
    c.files.removeAt(10);
    c.files.insert(4, AudioFile(QUuid::createUuid(), QUrl::fromLocalFile(QStringLiteral("/music/new.mp3")),
                                AudioFormat::mp3, std::nullopt, {}, {}, {}));

    const FileSnapshot* states[] = {&a, &b, &c};
    for (const FileSnapshot* from : states) {
        for (const FileSnapshot* to : states)
            EXPECT_EQ(SnapshotDelta(*from, *to).applyTo(*from), *to);
    }

    UndoStack stack(10);
    stack.push(QStringLiteral("to b"), a);
    stack.push(QStringLiteral("to c"), b);
    EXPECT_EQ(stack.undo(c), b);
    EXPECT_EQ(stack.undo(b), a);
    EXPECT_EQ(stack.redo(a), b);
    EXPECT_EQ(stack.redo(b), c);
    EXPECT_EQ(stack.undoDescriptions(), QStringList({"to b", "to c"}));
}

TEST(UndoHistory, SnapshotsSerialiseWithTheirSelection) {
    const FileSnapshot snapshot = snapshotWith("a.mp3");
    const Decoded<FileSnapshot> decoded = decodeJson<FileSnapshot>(encodeJson(snapshot));
    ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
    EXPECT_EQ(decoded.value(), snapshot);
    EXPECT_FALSE(decodeJson<FileSnapshot>(R"({"files":[]})").ok());
    EXPECT_FALSE(decodeJson<FileSnapshot>(R"({"files":[],"selectedFiles":["nope"]})").ok());
}

} // namespace
