#include "CliRunner.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class CliTest : public testing::Test {
protected:
    QString add(const QString& name, const QString& fixture) {
        QFile source(TestSupport::fixturePath(fixture));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        return folder.write(name, source.readAll());
    }
    QStringList names(const QString& sub = {}) const {
        return QDir(sub.isEmpty() ? folder.path() : folder.filePath(sub)).entryList(QDir::Files, QDir::Name);
    }
    QJsonArray records(const QStringList& extra = {}) const {
        const CliRun run =
            runCli(QStringList{"-c", "json --no-artwork-data"} + extra + QStringList{folder.path()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return QJsonDocument::fromJson(run.out.toUtf8()).array();
    }

    TestSupport::ScratchFolder folder;
};

// A name the pattern does not fit is named with why; the others are filled.
TEST_F(CliTest, TagsFromNamesNameTheFilesTheyLeaveAlone) {
    add(QStringLiteral("01 - Intro.mp3"), QStringLiteral("untagged.mp3"));
    add(QStringLiteral("notes.mp3"), QStringLiteral("untagged.mp3"));
    const CliRun run = runCli({"-c", "tags-from-filename '{trackNumber} - {title}'", folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("skipped notes.mp3: the name doesn’t match the pattern")))
        << run.err.toStdString();
}

TEST_F(CliTest, APipelineFromNamesToSavedFiles) {
    add(QStringLiteral("Album/01 - Intro.mp3"), QStringLiteral("untagged.mp3"));
    add(QStringLiteral("Album/02 - Song.flac"), QStringLiteral("untagged.flac"));
    add(QStringLiteral("Album/03 - Outro.ogg"), QStringLiteral("untagged.ogg"));

    const CliRun run =
        runCli({"-c", "tags-from-filename '{trackNumber} - {title}'", "-c", "set artist 'The Band'", "-c",
                "number-tracks --start 1", "-c", "rename-pattern '{track}. {title}'", "-c", "list", "-c",
                "save", "-c", "history", folder.filePath(QStringLiteral("Album"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(names(QStringLiteral("Album")), QStringList({"1. Intro.mp3", "2. Song.flac", "3. Outro.ogg"}));
    EXPECT_TRUE(run.out.contains(QStringLiteral("3\n"))) << run.out; // the rename count
    EXPECT_TRUE(run.out.contains(QStringLiteral("*\t1. Intro.mp3\tIntro\tThe Band\t\t1\t"))) << run.out;
    EXPECT_TRUE(run.out.contains(QStringLiteral("undo\tRename 3 files"))) << run.out;
    EXPECT_FALSE(run.err.contains(QStringLiteral("unsaved"))) << run.err;

    // A fresh run reads what was written.
    const QJsonArray files = records();
    ASSERT_EQ(files.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject tags = files[i].toObject().value(QStringLiteral("tags")).toObject();
        EXPECT_EQ(tags.value(QStringLiteral("artist")).toString(), QStringLiteral("The Band"));
        EXPECT_EQ(tags.value(QStringLiteral("trackNumber")).toInt(), i + 1);
        EXPECT_EQ(tags.value(QStringLiteral("trackTotal")).toInt(), 3);
    }
    EXPECT_EQ(files[1]
                  .toObject()
                  .value(QStringLiteral("tags"))
                  .toObject()
                  .value(QStringLiteral("title"))
                  .toString(),
              QStringLiteral("Song"));
}

// The read cache is kept in the user's cache folder; --no-cache reads without it.
TEST_F(CliTest, NoCacheLeavesTheReadCacheAlone) {
    add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    const TestSupport::ScratchFolder cacheHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome.path());
    const QString cache = cacheHome.filePath(QStringLiteral("cadenza/read-cache.sqlite"));
    EXPECT_EQ(runCli({"--no-cache", "-c", "list", folder.path()}, false, environment).exitCode, 0);
    EXPECT_FALSE(QFile::exists(cache));
    EXPECT_EQ(runCli({"-c", "list", folder.path()}, false, environment).exitCode, 0);
    EXPECT_TRUE(QFile::exists(cache));
}

TEST_F(CliTest, UsageErrorsChangeNothing) {
    const QString path = add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    for (const QStringList& arguments :
         {QStringList{"-c", "set title New", "-c", "save", "-c", "set bogus x", folder.path()},
          QStringList{"-c", "set year 19x", "-c", "save", folder.path()},
          QStringList{"-c", "set-file a.mp3 trackNumber abc", "-c", "save", folder.path()},
          QStringList{"-c", "rename a.mp3 b", "-c", "number-tracks --start x", folder.path()},
          QStringList{"--frobnicate", folder.path()}, QStringList{"-c", "list"},
          QStringList{"-c", "set title New", "-c", "save", "--id3v2", "2", folder.path()},
          QStringList{"-c", "save", folder.path(), "--id3v2"}}) {
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("cadenza-cli: "))) << run.err.toStdString();
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(names(), QStringList({"a.mp3"}));
    EXPECT_EQ(runCli({"--help"}).exitCode, 0);
}

TEST_F(CliTest, UndoMovesARenamedFileBackAndUnsavedChangesAreReported) {
    add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    CliRun run = runCli({"-c", "rename a.mp3 b", "-c", "set title Changed", folder.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("done\n"));
    EXPECT_EQ(names(), QStringList({"b.mp3"}));
    EXPECT_TRUE(run.err.contains(QStringLiteral("unsaved"))) << run.err.toStdString();

    // The rename, then the import itself, then nothing is left to undo.
    run = runCli({"-c", "rename b.mp3 c", "-c", "undo", "-c", "undo", "-c", "undo", folder.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(names(), QStringList({"b.mp3"}));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Nothing to undo."))) << run.err.toStdString();

    run = runCli({"-c", "select nothere.mp3", folder.path()});
    EXPECT_EQ(run.exitCode, 1);
}

// A script's later commands may rely on the earlier ones: after a failure
// nothing runs, so a selection that matched nothing cannot turn into an edit
// of every file.
TEST_F(CliTest, AFailedCommandStopsTheRun) {
    const QString path = add(QStringLiteral("01 - Speak to Me.mp3"), QStringLiteral("tagged.mp3"));
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const CliRun run =
        runCli({"-c", "select '01 - Speak to Me.mp'", "-c", "set title OOPS", "-c", "save", folder.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("No loaded file is named “01 - Speak to Me.mp”.")))
        << run.err;
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("“select '01 - Speak to Me.mp'” failed; the commands after it did "
                                        "not run.")))
        << run.err;
    EXPECT_FALSE(run.out.contains(QStringLiteral("Saved"))) << run.out;
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);

    // Values are those the fields can hold, in the forms people write them.
    const CliRun set = runCli({"-c", "set trackNumber 3/12", "-c", "set Year 1973-03-01", "-c",
                               "set compilation no", "-c", "save", folder.path()});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const QJsonObject tags = records().first().toObject().value(QStringLiteral("tags")).toObject();
    EXPECT_EQ(tags.value(QStringLiteral("trackNumber")).toInt(), 3);
    EXPECT_EQ(tags.value(QStringLiteral("trackTotal")).toInt(), 12);
    EXPECT_EQ(tags.value(QStringLiteral("year")).toString(),
              QStringLiteral("1973-03-01")); // a date stays one
    EXPECT_EQ(tags.value(QStringLiteral("compilation")).toBool(true), false);
    // As another tagger reads the file: the frames as typed, nothing else changed.
    const QList<QJsonObject> dumps =
        TestSupport::independentTagDump({TestSupport::fixturePath("tagged.mp3"), path});
    ASSERT_EQ(dumps.size(), 2);
    const QJsonObject fixtureItems = dumps[0]["items"].toObject(), savedItems = dumps[1]["items"].toObject();
    const QStringList changed = {"ID3:TRCK", "ID3:TDRC", "ID3:TCMP"};
    const QStringList written = {"text=['3/12']", "text=['1973-03-01']", "text=['0']"};
    for (qsizetype i = 0; i < changed.size(); ++i)
        EXPECT_TRUE(savedItems[changed[i]].toString().contains(written[i]))
            << savedItems[changed[i]].toString();
    for (const QString& key : fixtureItems.keys()) {
        if (!changed.contains(key)) {
            EXPECT_EQ(savedItems[key], fixtureItems[key]) << key;
        }
    }
    EXPECT_EQ(runCli({"-c", "set trackNumber 3-12", folder.path()}).exitCode, 2);

    const CliRun version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("cadenza-cli "))) << version.out;
}

TEST_F(CliTest, ShowPrintsTheValuesAfterABatchOperation) {
    add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    const CliRun run =
        runCli({"-c", "replace 'Fixture Artist' 'Pink Floyd' --fields artist", "-c", "show", folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.contains(QStringLiteral("\nArtist\tPink Floyd\n"))) << run.out;
}

TEST_F(CliTest, ANumberWithItsTotalIsOneStep) {
    add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    const CliRun run = runCli({"-c", "set trackNumber 5/17", "-c", "show", "-c", "history", folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.contains(QStringLiteral("\nTrack Number\t5\nTrack Total\t17\n"))) << run.out;
    EXPECT_EQ(run.out.count(QStringLiteral("undo\t")), 2) << run.out; // the import and the edit
    EXPECT_TRUE(run.out.contains(QStringLiteral("undo\tEdit Track Number\n"))) << run.out;
}

// Work that could not be done is a failure with a message, never a silent success.
TEST_F(CliTest, WorkLeftUndoneIsAFailure) {
    add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    add(QStringLiteral("b.mp3"), QStringLiteral("tagged.mp3"));
    const std::pair<QStringList, const char*> cases[] = {
        {{"-c", "rename-pattern 'Same'"},
         "Moved 1 of 2 files.\nb.mp3: not moved, “Same.mp3” is also the new name of “a.mp3”"},
        {{"-c", "set composer", "-c", "rename-pattern '{composer}'"},
         "the values the pattern names are empty"},
        {{"-c", "set title .hidden", "-c", "rename-pattern '{title}'"},
         "“.hidden.mp3” would be hidden or empty"},
        {{"-c", "export-artwork /does/not/exist"}, "“/does/not/exist” is not a folder."},
        {{"-c", "import-artwork ."}, "No picture in “.” is named like a loaded file."},
        {{"-c", "tags-from-path '{artist} - {album}'"}, "matched no selected file's folders"},
        {{"/does/not/exist"}, "“/does/not/exist” does not exist"},
    };
    for (const auto& [arguments, message] : cases) {
        const CliRun run = runCli(arguments + QStringList{folder.path()});
        EXPECT_EQ(run.exitCode, 1) << arguments.join(u' ');
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(message))) << run.err;
    }
    EXPECT_EQ(runCli({"-c", "count '(' --regex", folder.path()}).exitCode, 2);
}

TEST_F(CliTest, SelectTakesNamesPathsAndPatternsAndNumberingGoesPerFolder) {
    for (const char* name : {"Disc 1/a.mp3", "Disc 1/b.flac", "Disc 2/a.mp3", "Disc 2/c.ogg"})
        add(QString::fromUtf8(name), QStringLiteral("untagged.") + QString::fromUtf8(name).section(u'.', -1));
    const auto selected = [&](const char* selector) {
        const CliRun run =
            runCli({"--json", "-c", QStringLiteral("select %1").arg(QString::fromUtf8(selector)), "-c",
                    "number-tracks --per-folder --start 5", "-c", "list", folder.path()});
        QStringList numbered;
        const QJsonArray results = QJsonDocument::fromJson(run.out.toUtf8()).array();
        if (run.exitCode != 0 || results.isEmpty())
            return QStringList{QStringLiteral("failed")};
        for (const QJsonValue& row : results.last()["result"].toArray()) {
            if (!row["track"].isNull())
                numbered.append(row["filename"].toString() + u'=' + QString::number(row["track"].toInt()));
        }
        return numbered;
    };
    EXPECT_EQ(selected("a.mp3"), QStringList({"a.mp3=5", "a.mp3=5"}));
    EXPECT_EQ(selected("'Disc 3'"), QStringList{"failed"});
    EXPECT_EQ(selected(qPrintable(u'\'' + folder.filePath(QStringLiteral("Disc 2")) + u'\'')),
              QStringList({"a.mp3=5", "c.ogg=6"}));
    EXPECT_EQ(selected("'*.flac' '*.ogg'"), QStringList({"b.flac=5", "c.ogg=5"}));
    EXPECT_EQ(selected("'Disc 1/*'"), QStringList({"a.mp3=5", "b.flac=6"}));

    // The editor's filter keeps later commands, "select all" included, to the files it matches.
    const CliRun filtered = runCli({"--json", "-c", "filter 'folder:\"disc 2\"'", "-c", "select all", "-c",
                                    "number-tracks --start 7", "-c", "list", folder.path()});
    ASSERT_EQ(filtered.exitCode, 0) << filtered.err;
    QStringList numbered;
    for (const QJsonValue& row :
         QJsonDocument::fromJson(filtered.out.toUtf8()).array().last()["result"].toArray()) {
        if (!row["track"].isNull())
            numbered.append(row["filename"].toString() + u'=' + QString::number(row["track"].toInt()));
    }
    EXPECT_EQ(numbered, QStringList({"a.mp3=7", "c.ogg=8"}));
    EXPECT_EQ(runCli({"-c", "filter nothing-like-this", "-c", "set title X", folder.path()}).exitCode, 1);
}

TEST_F(CliTest, ADryRunWritesNothingAndPutsRenamedFilesBack) {
    const QString path = add(QStringLiteral("a.mp3"), QStringLiteral("tagged.mp3"));
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const CliRun run = runCli({"--dry-run", "-c", "set title Dry", "-c", "rename-pattern '{title}'", "-c",
                               "list", "-c", "save", folder.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.contains(QStringLiteral("\tDry.mp3\tDry\t"))) << run.out;
    EXPECT_TRUE(run.out.contains(QStringLiteral("Would save 1 modified files (dry run)."))) << run.out;
    EXPECT_EQ(names(), QStringList{"a.mp3"});
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
}

TEST_F(CliTest, AFailedSaveExitsWithTheMessage) {
    const QString path = add(QStringLiteral("locked.mp3"), QStringLiteral("tagged.mp3"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);
    const CliRun run = runCli({"-c", "set title Changed", "-c", "save", folder.path()}, true);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("locked.mp3: You don’t have permission to change this file")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("unsaved"))) << run.err.toStdString();
}

TEST_F(CliTest, FilesReadInPartAndValuesTooLargeForTheFormatAreNamed) {
    add(QStringLiteral("zero.mp3"), QStringLiteral("zero-size-frame.mp3"));
    add(QStringLiteral("long.m4a"), QStringLiteral("tagged.m4a"));
    const CliRun run = runCli({"-c", "set trackNumber 70000", "-c", "save", folder.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("could be read only in part. Saving them is refused where it "
                                                "would lose the damaged part:\nzero.mp3")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral(
        "long.m4a: Not saved: Track Number is too large for MP4 files, which hold at most 65535")))
        << run.err.toStdString();
}

TEST_F(CliTest, UnreadableFilesAreNamedAndJsonOutputIsValid) {
    add(QStringLiteral("good.mp3"), QStringLiteral("tagged.mp3"));
    add(QStringLiteral("bad.mp3"), QStringLiteral("not-audio.mp3"));
    add(QStringLiteral("empty.flac"), QStringLiteral("empty.mp3"));
    const CliRun run = runCli({"--json", "-c", "show", "-c", "history", "-c", "list", folder.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("Couldn’t read these files. They haven’t been added or changed:\n")))
        << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("\nbad.mp3: Read error: No MPEG audio was found in the file")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("\nempty.flac: The file is empty"))) << run.err.toStdString();
    // One JSON document for the whole run, each command's result in order.
    QJsonParseError error{};
    const QJsonArray results = QJsonDocument::fromJson(run.out.toUtf8(), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0]["command"], QStringLiteral("show"));
    EXPECT_EQ(results[0]["result"]["title"]["varies"], false);
    EXPECT_TRUE(results[1]["result"]["undo"].isArray());
    EXPECT_EQ(results[2]["result"].toArray().size(), 1);
}

} // namespace

// Files tagged by another program: every item is listed, an item set by its
// name lands in each format's own form, and one value of several is edited
// without flattening the others. Checked by that other program.
TEST_F(CliTest, EveryItemIsListedAndEditedInEachFormatsOwnForm) {
    const QStringList fixtures = {"custom.mp3", "custom-v23.mp3", "custom.flac",
                                  "custom.ogg", "custom.m4a",     "custom.wav"};
    for (const QString& fixture : fixtures)
        add(fixture, fixture);

    const QJsonArray before = records();
    ASSERT_EQ(before.size(), fixtures.size());
    for (const QJsonValue& record : before) {
        const QJsonObject tags = record.toObject().value(QStringLiteral("tags")).toObject();
        const QJsonObject custom = tags.value(QStringLiteral("custom")).toObject();
        SCOPED_TRACE(record.toObject().value(QStringLiteral("url")).toString().toStdString());
        // ID3v2.3 keeps several artists in one text, with "/" (which may as well be part of a name).
        const bool v23 = record.toObject().value(QStringLiteral("url")).toString().endsWith(u"v23.mp3");
        EXPECT_EQ(tags.value(QStringLiteral("artist")).toString(),
                  v23 ? QStringLiteral("Ralf Hütter/Florian Schneider")
                      : QStringLiteral("Ralf Hütter; Florian Schneider"));
        EXPECT_EQ(tags.value(QStringLiteral("year")).toString(), QStringLiteral("1974-11-01"));
        EXPECT_EQ(custom.value(QStringLiteral("CATALOGNUMBER")).toString(), QStringLiteral("ABC-123"));
        EXPECT_EQ(custom.value(QStringLiteral("MY OWN KEY")).toString(), QStringLiteral("Own Value"));
        EXPECT_EQ(custom.value(QStringLiteral("MUSICBRAINZ_ALBUMID")).toString(),
                  QStringLiteral("0b1e3c5a-0000-4000-8000-000000000007"));
        EXPECT_EQ(custom.value(QStringLiteral("LABEL")).toString(), QStringLiteral("Kling Klang"));
    }

    const CliRun run = runCli({"-c", "replace Hütter Hutter --fields artist", "-c", "set CATALOGNUMBER XYZ-9",
                               "-c", "set LABEL", "-c", "set MEDIA Vinyl CD", "-c", "save", folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    QStringList paths;
    for (const QString& fixture : fixtures)
        paths += {TestSupport::fixturePath(fixture), folder.filePath(fixture)};
    const QList<QJsonObject> dumps = TestSupport::independentTagDump(paths);
    ASSERT_EQ(dumps.size(), paths.size());
    for (qsizetype i = 0; i < fixtures.size(); ++i) {
        SCOPED_TRACE(fixtures[i].toStdString());
        const QJsonObject original = dumps[2 * i]["items"].toObject(),
                          saved = dumps[2 * i + 1]["items"].toObject();
        const bool mp4 = fixtures[i].endsWith(u".m4a"),
                   vorbis = fixtures[i].endsWith(u".flac") || fixtures[i].endsWith(u".ogg");
        const QString artist = mp4 ? "MP4:\u00a9ART" : vorbis ? "VC:ARTIST" : "ID3:TPE1";
        const QString catalog = mp4      ? "MP4:----:com.apple.iTunes:CATALOGNUMBER"
                                : vorbis ? "VC:CATALOGNUMBER"
                                         : "ID3:TXXX:CATALOGNUMBER";
        const QString label = mp4 ? "MP4:----:com.apple.iTunes:LABEL" : vorbis ? "VC:LABEL" : "ID3:TPUB";
        const QString media = mp4 ? "MP4:----:com.apple.iTunes:MEDIA" : vorbis ? "VC:MEDIA" : "ID3:TMED";
        const QString separator = fixtures[i] == u"custom-v23.mp3" ? "Ralf Hutter/Florian Schneider"
                                  : vorbis                         ? "\"Ralf Hutter\", \"Florian Schneider\""
                                                                   : "'Ralf Hutter', 'Florian Schneider'";
        EXPECT_TRUE(saved[artist].toString().contains(separator)) << saved[artist].toString();
        EXPECT_TRUE(saved[catalog].toString().contains(QStringLiteral("XYZ-9"))) << saved[catalog].toString();
        EXPECT_FALSE(saved.contains(label));
        EXPECT_TRUE(saved[media].toString().contains(QStringLiteral("CD"))) << saved[media].toString();
        for (const QString& key : original.keys()) {
            if (key != artist && key != catalog && key != label && key != media) {
                EXPECT_EQ(saved[key], original[key]) << key.toStdString();
            }
        }
    }
}
