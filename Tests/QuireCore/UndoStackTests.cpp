#include "QuireCore/UndoManager.h"

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
    EXPECT_EQ(stack.undoActions().size(), 2);
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

TEST(UndoHistory, SnapshotsSerialiseWithTheirSelection) {
    const FileSnapshot snapshot = snapshotWith("a.mp3");
    const Decoded<FileSnapshot> decoded = decodeJson<FileSnapshot>(encodeJson(snapshot));
    ASSERT_TRUE(decoded.ok()) << decoded.error().message.toStdString();
    EXPECT_EQ(decoded.value(), snapshot);
    EXPECT_FALSE(decodeJson<FileSnapshot>(R"({"files":[]})").ok());
    EXPECT_FALSE(decodeJson<FileSnapshot>(R"({"files":[],"selectedFiles":["nope"]})").ok());
}

} // namespace
