#include "DocumentTestSupport.h"

#include "Quire/ViewModels/UnsavedJournal.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace DocumentTest;

namespace {

// An editor's document with its journal, ended as a crash ends it: the
// journal object goes without close(), leaving the journal on disk.
class JournalTest : public testing::Test {
protected:
    void SetUp() override {
        library.add(QStringLiteral("a.mp3"));
        library.add(QStringLiteral("b.flac"), QStringLiteral("tagged.flac"));
        journal = std::make_unique<UnsavedJournal>(document, journalFolder.path());
        importAndWait(document, {library.url()});
    }

    QUuid idOf(const QString& name) const { return fileNamed(document, name).id(); }

    void crash() {
        journal->flush();
        journal.reset();
    }

    // What a new editor finds, restored into a new document.
    QList<UnsavedFile> restoreInNewDocument(DocumentViewModel& restored) {
        const UnsavedJournal::Found found = UnsavedJournal::leftovers(journalFolder.path());
        EXPECT_EQ(found.leftovers.size(), 1);
        if (found.leftovers.isEmpty())
            return {};
        bool done = false;
        QList<UnsavedFile> notApplied;
        UnsavedJournal::restore(restored, found.leftovers.first().changes,
                                [&](const QList<UnsavedFile>& files) {
                                    notApplied = files;
                                    done = true;
                                });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return notApplied;
    }

    Library library;
    TestSupport::ScratchFolder journalFolder;
    DocumentViewModel document;
    std::unique_ptr<UnsavedJournal> journal;
};

TEST_F(JournalTest, EditsSurviveACrashAndComeBackAsOneUndoStep) {
    const QString titleBefore = *fileNamed(document, QStringLiteral("b.flac")).tags().title;
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("After the Crash"), idOf("a.mp3")).ok());
    ASSERT_TRUE(
        document.editField(FieldKey::custom(u"CATALOGNUMBER"), QStringLiteral("CAT-1"), idOf("a.mp3")).ok());
    ASSERT_TRUE(document.editField(TagField::year, QString(), idOf("b.flac")).ok());
    // Written within a second, without any further action.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(journal->path()); }, 1000));
    crash();

    DocumentViewModel restored;
    EXPECT_TRUE(restoreInNewDocument(restored).isEmpty());
    const AudioFile& a = fileNamed(restored, QStringLiteral("a.mp3"));
    const AudioFile& b = fileNamed(restored, QStringLiteral("b.flac"));
    EXPECT_TRUE(a.isModified());
    EXPECT_EQ(a.tags().title, QStringLiteral("After the Crash"));
    EXPECT_EQ(a.tags().custom.value(QStringLiteral("CATALOGNUMBER")), QStringLiteral("CAT-1"));
    EXPECT_TRUE(b.isModified());
    EXPECT_EQ(b.tags().year, std::nullopt);
    EXPECT_EQ(b.tags().title, titleBefore); // unchanged fields stay as the disk has them

    // Nothing was written to the files: they are unsaved, as before the crash.
    EXPECT_NE(readBack(a.url()).tags().title, QStringLiteral("After the Crash"));
    ASSERT_TRUE(undoAndWait(restored));
    EXPECT_FALSE(fileNamed(restored, QStringLiteral("a.mp3")).isModified());
    EXPECT_FALSE(fileNamed(restored, QStringLiteral("b.flac")).isModified());
}

// The journal holds what is unsaved now: a save, or an undo back to the disk's
// state, leaves nothing to restore; a clean end removes the journal.
TEST_F(JournalTest, HoldsOnlyWhatIsUnsaved) {
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Edited"), idOf("a.mp3")).ok());
    journal->flush();
    ASSERT_TRUE(QFile::exists(journal->path()));
    ASSERT_TRUE(undoAndWait(document));
    journal->flush();
    EXPECT_FALSE(QFile::exists(journal->path()));

    ASSERT_TRUE(redoAndWait(document));
    journal->flush();
    ASSERT_TRUE(QFile::exists(journal->path()));
    document.saveAll();
    waitForSave(document);
    journal->flush();
    EXPECT_FALSE(QFile::exists(journal->path()));

    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Again"), idOf("a.mp3")).ok());
    journal->flush();
    journal->close();
    EXPECT_FALSE(QFile::exists(journal->path()));
    EXPECT_TRUE(UnsavedJournal::leftovers(journalFolder.path()).leftovers.isEmpty());
}

// Changes are applied only to the very file they were made to, as it was:
// a file rewritten meanwhile (even with its modification time put back),
// replaced or gone is listed instead. A rename by the editor itself is not
// such a change.
TEST_F(JournalTest, FilesChangedOnDiskMeanwhileAreNotApplied) {
    library.add(QStringLiteral("c.ogg"), QStringLiteral("tagged.ogg"));
    library.add(QStringLiteral("d.opus"), QStringLiteral("tagged.opus"));
    importAndWait(document, {library.url()});
    for (const char* name : {"a.mp3", "b.flac", "c.ogg", "d.opus"})
        ASSERT_TRUE(
            document.editField(TagField::album, QStringLiteral("Journaled"), idOf(QString::fromUtf8(name)))
                .ok());
    ASSERT_EQ(document.renameFile(idOf("d.opus"), QStringLiteral("renamed")).value(), FileRenameResult::done);
    crash();

    // a.mp3: rewritten with its modification time put back.
    const QString a = library.path(QStringLiteral("a.mp3"));
    const QDateTime modified = QFileInfo(a).lastModified();
    QThread::msleep(20);
    {
        QFile file(a);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        file.seek(0);
        file.write(bytes);
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    // b.flac: replaced by another file of the same size.
    const QString b = library.path(QStringLiteral("b.flac"));
    ASSERT_TRUE(QFile::copy(b, b + QStringLiteral(".new")));
    ASSERT_TRUE(QFile::remove(b));
    ASSERT_TRUE(QFile::rename(b + QStringLiteral(".new"), b));
    // c.ogg: gone.
    ASSERT_TRUE(QFile::remove(library.path(QStringLiteral("c.ogg"))));

    DocumentViewModel restored;
    QStringList notApplied;
    for (const UnsavedFile& file : restoreInNewDocument(restored))
        notApplied.append(QFileInfo(file.url.toLocalFile()).fileName());
    notApplied.sort();
    EXPECT_EQ(notApplied, QStringList({"a.mp3", "b.flac", "c.ogg"}));
    EXPECT_FALSE(fileNamed(restored, QStringLiteral("a.mp3")).isModified());
    EXPECT_FALSE(fileNamed(restored, QStringLiteral("b.flac")).isModified());
    const AudioFile& renamed = fileNamed(restored, QStringLiteral("renamed.opus"));
    EXPECT_TRUE(renamed.isModified());
    EXPECT_EQ(renamed.tags().album, QStringLiteral("Journaled"));
}

// A journal is used whole or not at all: a running instance's is left alone,
// one that cannot be read is set aside (kept, not offered again) with the
// reason for the user.
TEST_F(JournalTest, JournalsThatCannotBeUsedAreLeftOrSetAside) {
    ASSERT_TRUE(document.editField(TagField::title, QStringLiteral("Running"), idOf("a.mp3")).ok());
    journal->flush();
    EXPECT_TRUE(UnsavedJournal::leftovers(journalFolder.path()).leftovers.isEmpty()); // still kept

    const QString damaged =
        journalFolder.write(QStringLiteral("unsaved-damaged.json"), "{\"format\": \"cadenza-unsa");
    UnsavedChanges other{QDateTime::currentDateTimeUtc(), {}};
    QByteArray newer = other.encoded().replace("\"version\":1", "\"version\":99");
    const QString fromNewer = journalFolder.write(QStringLiteral("unsaved-newer.json"), newer);

    const UnsavedJournal::Found found = UnsavedJournal::leftovers(journalFolder.path());
    EXPECT_TRUE(found.leftovers.isEmpty());
    ASSERT_EQ(found.setAside.size(), 2);
    EXPECT_TRUE(found.setAside.join(u'\n').contains(QStringLiteral("it is damaged")));
    EXPECT_TRUE(found.setAside.join(u'\n').contains(QStringLiteral("it was written by another version")));
    EXPECT_FALSE(QFile::exists(damaged));
    EXPECT_TRUE(QFile::exists(damaged + QStringLiteral(".set-aside")));
    EXPECT_TRUE(UnsavedJournal::leftovers(journalFolder.path()).setAside.isEmpty());
    (void)fromNewer;

    // Another user's journal (a folder shared by mistake) is neither applied nor moved.
    if (::getuid() != 0)
        return; // only root can give a file away
    const QString others = journalFolder.write(QStringLiteral("unsaved-other.json"), other.encoded());
    ASSERT_EQ(::chown(QFile::encodeName(others).constData(), 4242, 4242), 0);
    const UnsavedJournal::Found withOthers = UnsavedJournal::leftovers(journalFolder.path());
    EXPECT_TRUE(withOthers.leftovers.isEmpty());
    ASSERT_EQ(withOthers.setAside.size(), 1);
    EXPECT_TRUE(withOthers.setAside.first().contains(QStringLiteral("belong to another user")));
    EXPECT_TRUE(QFile::exists(others));
}

// Files of several folders, cleared fields, custom items and stamps beyond
// what JSON numbers hold exactly come back as they were written.
TEST(UnsavedChangesFormat, DecodesWhatItEncodes) {
    const Platform::FileStamp large{~0ULL, 1ULL << 60, 123456789, 1733600000123456789, -5};
    UnsavedChanges changes{QDateTime::currentDateTimeUtc(), {}};
    changes.written = changes.written.addMSecs(-changes.written.time().msec()); // as ISO text keeps it
    changes.files.append(
        {QUrl::fromLocalFile(QStringLiteral("/music/a/1 Ü.mp3")),
         large,
         {{QStringLiteral("title"), QStringLiteral("T")}, {QStringLiteral("year"), std::nullopt}},
         std::nullopt});
    changes.files.append({QUrl::fromLocalFile(QStringLiteral("/music/b/2.flac")),
                          std::nullopt,
                          {{QStringLiteral("CATALOGNUMBER"), QStringLiteral("C; D")}},
                          QList<Artwork>()});
    changes.files.append({QUrl::fromLocalFile(QStringLiteral("/music/a/3.ogg")), large, {}, std::nullopt});
    QString error;
    const std::optional<UnsavedChanges> decoded = UnsavedChanges::decoded(changes.encoded(), &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    // Grouped by folder, in the order the folders first come.
    std::swap(changes.files[1], changes.files[2]);
    EXPECT_EQ(*decoded, changes);
}

// Pictures travel with the changes, each held once however many files carry it.
TEST_F(JournalTest, PicturesAreKeptOnceAndComeBack) {
    // Pictures from elsewhere hold their bytes, as pasted ones do.
    const QList<Artwork> pictures =
        TagLibTagReader()
            .readPictures(QUrl::fromLocalFile(TestSupport::fixturePath(QStringLiteral("pictures.mp3"))))
            .value();
    ASSERT_FALSE(pictures.isEmpty());
    QList<AudioFile> files = document.files();
    for (AudioFile& file : files) {
        file.setArtwork(pictures);
        file.setModified(true);
    }
    document.commit(QStringLiteral("Set Artwork"), files);
    crash();

    {
        const UnsavedJournal::Found found = UnsavedJournal::leftovers(journalFolder.path());
        ASSERT_EQ(found.leftovers.size(), 1);
        QFile file(found.leftovers.first().path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().count(pictures.first().data.toBase64()), 1);
    }

    DocumentViewModel restored;
    EXPECT_TRUE(restoreInNewDocument(restored).isEmpty());
    for (const AudioFile& restoredFile : restored.files()) {
        ASSERT_EQ(restoredFile.artwork().size(), pictures.size());
        EXPECT_TRUE(Artwork::isSamePicture(restoredFile.artwork().first(), pictures.first()));
    }
}

} // namespace
