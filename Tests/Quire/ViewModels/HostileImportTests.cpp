// A generated corpus of broken, hostile and odd files, imported through the
// document with the real, isolated reader: the import ends, names every file
// it could not read, and keeps the others.
#include "DocumentTestSupport.h"
#include "QuireCore/TagLibAccess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace DocumentTest;
using namespace std::chrono_literals;

namespace {

const char* const fixtureFormats[] = {"mp3", "m4a", "m4b",  "flac", "wav", "aiff",
                                      "aif", "ogg", "opus", "dsf",  "dff"};

QByteArray fixtureBytes(const QString& name) {
    QFile file(TestSupport::fixturePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray bigEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray mp4Atom(const char* name, const QByteArray& payload) {
    return bigEndian32(static_cast<quint32>(8 + payload.size())) + name + payload;
}

// "moov" inside "moov" inside ...: TagLib 2.0.2 parses container atoms
// recursively and overflows its stack on this.
QByteArray deeplyNestedMp4(int depth) {
    QByteArray bytes = mp4Atom("ftyp", QByteArray("M4A \0\0\0\0M4A ", 12));
    bytes.reserve(bytes.size() + 8 * depth);
    for (int level = 0; level < depth; ++level)
        bytes += bigEndian32(static_cast<quint32>(8 * (depth - level))) + "moov";
    return bytes;
}

// Files whose headers declare far more than they hold.
QList<std::pair<QString, QByteArray>> hugeDeclaredSizes() {
    const QByteArray ftyp = mp4Atom("ftyp", QByteArray("M4A \0\0\0\0M4A ", 12));
    QByteArray id3 = fixtureBytes(QStringLiteral("untagged.mp3"));
    // ID3v2.4 header with a tag size of 256 MiB (syncsafe), then one "TIT2" frame claiming as much.
    const QByteArray id3Header = QByteArray("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + "TIT2" +
                                 QByteArray("\x7f\x7f\x7f\x7f\x00\x00\x03", 7) + "x";
    QByteArray flac = fixtureBytes(QStringLiteral("untagged.flac"));
    flac.replace(4, 4, QByteArray("\x84\xff\xff\xff", 4)); // last block, a Vorbis comment of 16 MiB
    QByteArray wav = fixtureBytes(QStringLiteral("untagged.wav"));
    wav.replace(4, 4, QByteArray("\xff\xff\xff\xff", 4));
    wav += "LIST" + QByteArray("\xf0\xff\xff\xff", 4) + "INFO";
    QByteArray ogg = fixtureBytes(QStringLiteral("untagged.ogg"));
    ogg[26] = '\xff'; // more segments than the page holds
    return {{QStringLiteral("huge-atom.m4a"), ftyp + bigEndian32(0xfffffff0) + "moov" + QByteArray(64, '\0')},
            {QStringLiteral("huge-64bit-atom.m4a"), ftyp + bigEndian32(1) + "moov" +
                                                        QByteArray("\x7f\xff\xff\xff\xff\xff\xff\xff", 8) +
                                                        mp4Atom("udta", {})},
            {QStringLiteral("huge-frame.mp3"), id3Header + id3},
            {QStringLiteral("huge-block.flac"), flac},
            {QStringLiteral("huge-chunk.wav"), wav},
            {QStringLiteral("huge-segments.ogg"), ogg}};
}

// The names in the import's failure message.
// The names under every heading of the import's message ("Couldn't read these files…", and the paths of
// "These files have names that aren't valid UTF-8…").
QSet<QString> failedNames(const DocumentViewModel& document) {
    QSet<QString> names;
    const QString message = noticeText(document).value_or(QString());
    for (const QString& paragraph : message.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        const QStringList lines = paragraph.split(u'\n');
        for (const QString& line : lines.mid(1)) // "name: reason", or a path
            names.insert(line.section(QStringLiteral(": "), 0, 0).section(u'/', -1));
    }
    return names;
}

class HostileImport : public testing::Test {
protected:
    // A helper that hangs (a sanitizer's own handler can stall after the stack
    // overflow of deep.m4a) must be given up well within the test's wait.
    void SetUp() override { defaultIsolatedTagLibAccess().setTimeLimits(5s, 5s); }
    void TearDown() override {
        defaultIsolatedTagLibAccess().setTimeLimits(IsolatedTagLibAccess::defaultReadLimit,
                                                    IsolatedTagLibAccess::defaultWriteLimit);
    }

    QString write(const QString& name, const QByteArray& bytes) {
        candidates.insert(QFileInfo(name).fileName());
        return library.folder().write(name, bytes);
    }

    // Every candidate is either imported or named as failed, never both or neither.
    void expectEveryFileAccountedFor(const QSet<QString>& mustFail = {}) {
        const QStringList imported = namesOf(document.files());
        const QSet<QString> failed = failedNames(document);
        for (const QString& name : std::as_const(candidates))
            EXPECT_NE(imported.contains(name), failed.contains(name)) << name;
        for (const QString& name : mustFail)
            EXPECT_TRUE(failed.contains(name)) << name;
        for (const QString& name : std::as_const(good))
            EXPECT_TRUE(imported.contains(name)) << name;
    }

    void addGoodFiles() {
        for (const char* format : fixtureFormats) {
            const QString name = QStringLiteral("good.%1").arg(QLatin1String(format));
            write(name, fixtureBytes(QStringLiteral("tagged.%1").arg(QLatin1String(format))));
            good.insert(name);
        }
    }

    Library library;
    DocumentViewModel document;
    QSet<QString> candidates;
    QSet<QString> good;
};

TEST_F(HostileImport, BrokenFilesFailAloneAndGoodOnesAreKept) {
    addGoodFiles();
    QSet<QString> mustFail;
    auto* random = QRandomGenerator::global();
    for (const char* format : fixtureFormats) {
        const QString extension = QLatin1String(format);
        const QByteArray whole = fixtureBytes(QStringLiteral("tagged.") + extension);
        for (const qsizetype cut : {qsizetype{1}, qsizetype{12}, qsizetype{100}, whole.size() / 3,
                                    whole.size() / 2, whole.size() - 1})
            write(QStringLiteral("cut-%1.%2").arg(cut).arg(extension), whole.left(cut));
        QByteArray noise(4096, '\0');
        random->fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        write(QStringLiteral("noise.") + extension, noise);
        mustFail.insert(QFileInfo(write(QStringLiteral("empty.") + extension, {})).fileName());
    }
    for (const auto& [name, bytes] : hugeDeclaredSizes())
        write(name, bytes);
    mustFail.insert(QFileInfo(write(QStringLiteral("deep.m4a"), deeplyNestedMp4(500000))).fileName());

    importAndWait(document, {library.url()});
    EXPECT_FALSE(document.isLoading());
    expectEveryFileAccountedFor(mustFail);
}

TEST_F(HostileImport, ACrashingAndAHangingReadFailAloneWithinTheLimit) {
    IsolatedTagLibAccess& access = defaultIsolatedTagLibAccess();
    access.setTimeLimits(2s, 2s);
    addGoodFiles();
    const QByteArray mp3 = fixtureBytes(QStringLiteral("tagged.mp3"));
    write(QStringLiteral("@crash@.mp3"), mp3);
    write(QStringLiteral("@hang@.mp3"), mp3);
    const int killedBefore = access.workersKilled();

    QElapsedTimer timer;
    timer.start();
    importAndWait(document, {library.url()});
    EXPECT_LT(timer.elapsed(), 15000);
    access.setTimeLimits(5s, 5s);

    expectEveryFileAccountedFor({QStringLiteral("@crash@.mp3"), QStringLiteral("@hang@.mp3")});
    EXPECT_EQ(access.workersKilled() - killedBefore, 2);

    // Saving goes on with fresh helpers.
    document.setSelectedFiles({document.files().first().id()});
    document.editField(TagField::title, QStringLiteral("After"));
    dismissNotices(document);
    document.saveAll();
    waitForSave(document);
    EXPECT_EQ(noticeText(document), std::nullopt);
    EXPECT_EQ(readBack(document.files().first().url()).tags().title, QStringLiteral("After"));
}

TEST_F(HostileImport, OddNamesAndThingsThatAreNotFiles) {
    addGoodFiles();
    const QByteArray mp3 = fixtureBytes(QStringLiteral("tagged.mp3"));
    good.insert(QFileInfo(write(QStringLiteral("line\nbreak.mp3"), mp3)).fileName());

    // A long path near PATH_MAX, made of 200-byte folder names.
    QString deep = QStringLiteral("long");
    while (library.path(deep).toUtf8().size() < 3800)
        deep += u'/' + QString(200, u'd');
    good.insert(
        QFileInfo(write(deep + QStringLiteral("/long.flac"), fixtureBytes(QStringLiteral("tagged.flac"))))
            .fileName());

    // A name that is not UTF-8 cannot be spelled as a location; it must fail, not vanish.
    const QByteArray latin1Name = QFile::encodeName(library.path()) + "/caf\xe9.mp3";
    const int fd = ::open(latin1Name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::unique_ptr<const char, void (*)(const char*)> removeLatin1Name(
        latin1Name.constData(), [](const char* path) { ::unlink(path); });
    ASSERT_EQ(::write(fd, mp3.constData(), static_cast<size_t>(mp3.size())), mp3.size());
    ::close(fd);

    // Folders named like audio files are entered; pipes, devices and links to them are skipped
    // inside a folder, and fail when given directly.
    ASSERT_TRUE(QDir(library.path()).mkpath(QStringLiteral("folder.mp3")));
    const QString pipe = library.path(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    const QString zeroLink = library.path(QStringLiteral("zero.mp3"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/urandom"), zeroLink));
    QList<QUrl> direct{QUrl::fromLocalFile(pipe), QUrl::fromLocalFile(zeroLink)};
    const QString device = library.path(QStringLiteral("device.mp3"));
    if (mknod(QFile::encodeName(device).constData(), S_IFCHR | 0644, makedev(1, 5)) == 0)
        direct.append(QUrl::fromLocalFile(device));
    else
        std::fprintf(stderr, "skipping the device node: mknod: %s\n", std::strerror(errno));

    importAndWait(document, QList<QUrl>{library.url()} + direct);
    EXPECT_FALSE(document.isLoading());
    expectEveryFileAccountedFor({QStringLiteral("caf\ufffd.mp3"), QStringLiteral("pipe.mp3"),
                                 QStringLiteral("urandom")}); // a link is imported under its target's name
    if (direct.size() == 3) {
        EXPECT_TRUE(failedNames(document).contains(QStringLiteral("device.mp3")));
    }
    EXPECT_EQ(document.files().size(), static_cast<qsizetype>(std::size(fixtureFormats)) + 2);
}

} // namespace
