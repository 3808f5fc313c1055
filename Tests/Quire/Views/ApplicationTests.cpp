#include "WidgetTestSupport.h"

#include "Quire/AppDelegate.h"
#include "Quire/SingleInstance.h"
#include "Quire/Views/MainWindow/QuitDecision.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

class QuitTest : public WindowTest {
protected:
    void loadModified(const QSet<QString>& failing = {}, bool gated = false) {
        writer = std::make_shared<ControlledWriter>(failing, gated);
        document.setTagWriter(writer);
        load({QStringLiteral("a.flac"), QStringLiteral("b.flac"), QStringLiteral("c.flac")});
        document.setSelectedFiles({ids()[0], ids()[1]});
        document.editField(TagField::genre, QStringLiteral("Jazz"));
    }
    std::shared_ptr<ControlledWriter> writer;
};

TEST_F(QuitTest, NothingModifiedClosesAtOnce) {
    load({QStringLiteral("a.flac")});
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto seen = answerNextMessageBox(QStringLiteral("Cancel"));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(seen->shown);
    EXPECT_EQ(accepted.count(), 1);
}

TEST_F(QuitTest, CancelAndEscapeKeepTheWindow) {
    loadModified();
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto seen = answerNextMessageBox(QString()); // Escape
    EXPECT_FALSE(window->close());
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "You have unsaved changes.");
    EXPECT_EQ(seen->informativeText, "2 files have unsaved tag changes. Save them before quitting?");
    // In the order of the desktop's dialog button layout.
    QStringList buttons = seen->buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Cancel", "Discard", "Save"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(QuitDecision::informativeText(1), "1 file has unsaved tag changes. Save them before quitting?");
}

TEST_F(QuitTest, DiscardClosesWithoutSaving) {
    loadModified();
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto seen = answerNextMessageBox(QStringLiteral("Discard"));
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(writer->writesStarted(), 0);
}

TEST_F(QuitTest, SaveClosesOnlyOnceTheSaveSucceeded) {
    loadModified();
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto answer = answerNextMessageBox(QStringLiteral("Save"));
    EXPECT_FALSE(window->close()); // waits for the save
    QTRY_COMPARE(accepted.count(), 1);
    EXPECT_EQ(document.modifiedCount(), 0);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QuitTest, AFailedSaveKeepsTheWindowAndShowsTheError) {
    loadModified({QStringLiteral("b.flac")});
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto answer = answerNextMessageBox(QStringLiteral("Save"));
    EXPECT_FALSE(window->close());
    QTRY_VERIFY(window->noticeAlert() && window->noticeAlert()->isVisible());
    QTest::qWait(50);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(fileNamed(document, QStringLiteral("b.flac")).isModified());
    EXPECT_FALSE(fileNamed(document, QStringLiteral("a.flac")).isModified());
}

TEST_F(QuitTest, ClosingDuringASaveWaitsWithoutAsking) {
    loadModified({}, true);
    document.saveAll();
    ASSERT_TRUE(document.isSaving());
    QSignalSpy accepted(window.get(), &MainWindow::closeAccepted);
    auto seen = answerNextMessageBox(QStringLiteral("Cancel"));
    EXPECT_FALSE(window->close());
    QTest::qWait(50);
    EXPECT_FALSE(seen->shown);
    EXPECT_EQ(accepted.count(), 0);
    writer->release(2);
    QTRY_COMPARE(accepted.count(), 1);
    EXPECT_EQ(document.modifiedCount(), 0);
}

TEST(SingleInstanceTest, ASecondLaunchHandsItsFilesToTheRunningOne) {
    const QString key = QStringLiteral("cadenza-test-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    SingleInstance second(key);
    EXPECT_FALSE(second.handOver({QUrl::fromLocalFile(QStringLiteral("/nowhere"))}, 200)); // none running

    Library library;
    const QUrl song = library.add(QStringLiteral("song.flac"));
    const QUrl folder = library.url();
    AppDelegate delegate;
    SingleInstance running(key);
    ASSERT_TRUE(running.listen());
    QObject::connect(&running, &SingleInstance::openRequested, &delegate, &AppDelegate::openFiles);
    QSignalSpy requests(&running, &SingleInstance::openRequested);

    // The hand-over blocks until answered, so the second launch runs in a thread.
    bool handed = false;
    std::unique_ptr<QThread> launch(QThread::create([&] { handed = second.handOver({song, folder}); }));
    launch->start();
    QTRY_VERIFY(launch->isFinished());
    EXPECT_TRUE(handed);
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].value<QList<QUrl>>(), (QList<QUrl>{song, folder}));
    EXPECT_TRUE(delegate.mainWindow()->isVisible());
    QTRY_COMPARE(delegate.viewModel()->files().size(), 1);
    QTRY_VERIFY(!delegate.viewModel()->isLoading());
}

// A scripted or nested session on the same display has its own runtime
// folder; its editor must not take files launched in another session.
TEST(SingleInstanceTest, EditorsOfAnotherSessionOnTheSameDisplayAreNotHandedFiles) {
    QTemporaryDir first, second;
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", first.path().toUtf8());
    SingleInstance running(SingleInstance::defaultKey());
    ASSERT_TRUE(running.listen());
    qputenv("XDG_RUNTIME_DIR", second.path().toUtf8());
    const QString otherKey = SingleInstance::defaultKey();
    if (runtimeBefore.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtimeBefore);

    EXPECT_TRUE(otherKey.startsWith(second.path()));
    EXPECT_FALSE(SingleInstance(otherKey).handOver({}, 200));
}

TEST(AppDelegateTest, ArgumentsBecomeFileLocations) {
    EXPECT_EQ(
        AppDelegate::urlsFromArguments({QStringLiteral("a.mp3"), QStringLiteral("../b/"),
                                        QStringLiteral("/c/d.flac"), QStringLiteral("file:///e%20f.ogg")},
                                       QStringLiteral("/music/x")),
        (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/music/x/a.mp3")),
                     QUrl::fromLocalFile(QStringLiteral("/music/b")),
                     QUrl::fromLocalFile(QStringLiteral("/c/d.flac")),
                     QUrl::fromLocalFile(QStringLiteral("/e f.ogg"))}));
}

} // namespace
