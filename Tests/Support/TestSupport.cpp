#include "Support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace TestSupport {

ScratchFolder::ScratchFolder() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QString ScratchFolder::write(const QString& relative, const QByteArray& bytes) const {
    const QString path = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
    return path;
}

SmallFileSystem::SmallFileSystem(const char* size)
    : m_path(m_folder.filePath(QStringLiteral("mount"))) {
    QDir().mkpath(m_path);
    const QByteArray options = QByteArray("size=") + size;
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, options.constData()) == 0;
    m_error = m_mounted ? 0 : errno;
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

QString SmallFileSystem::skipReason() const {
    return QStringLiteral("cannot mount a tmpfs to fill (%1); the full file system cases need root")
        .arg(QString::fromUtf8(std::strerror(m_error)));
}

qint64 SmallFileSystem::available() const {
    struct statvfs status {};
    return ::statvfs(QFile::encodeName(m_path).constData(), &status) == 0
               ? qint64(status.f_bavail) * qint64(status.f_frsize)
               : 0;
}

bool SmallFileSystem::leaveFree(qint64 free) const {
    QFile filler(filePath(QStringLiteral("filler")));
    const qint64 size = available() - free;
    return size >= 0 && filler.open(QIODevice::WriteOnly | QIODevice::Append) &&
           filler.write(QByteArray(size, 'f')) == size;
}

QString fixturePath(const QString& name) {
    return QStringLiteral(CADENZA_FIXTURES_DIR "/") + name;
}

QList<QJsonObject> independentTagDump(const QStringList& paths, QString* error) {
    QProcess tool;
    tool.start(QStringLiteral(CADENZA_FIXTURES_DIR "/../Support/tagdump"), paths);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        if (error)
            *error = QString::fromUtf8(tool.readAllStandardError()) + tool.errorString();
        return {};
    }
    const QJsonDocument output = QJsonDocument::fromJson(tool.readAllStandardOutput());
    if (output.isObject())
        return {output.object()};
    QList<QJsonObject> dumps;
    for (const QJsonValue& dump : output.array())
        dumps.append(dump.toObject());
    return dumps;
}

ScopedFileCopy::ScopedFileCopy(const QString& fixture, const QString& copyName)
    : m_path(m_folder.filePath(copyName.isEmpty() ? fixture : copyName)) {
    QFile source(fixturePath(fixture));
    if (!source.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing fixture " + fixture.toStdString());
    m_folder.write(copyName.isEmpty() ? fixture : copyName, source.readAll());
}

QByteArray ScopedFileCopy::nativePath() const {
    return QFile::encodeName(m_path);
}

QByteArray ScopedFileCopy::bytes() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + m_path.toStdString());
    return file.readAll();
}

QImage patternImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::blue);
    return image;
}

namespace {

// Qt reads GIF but cannot write it. An uncompressed GIF: a clear code before
// every pixel keeps the LZW code width at three bits, so no dictionary is needed.
QByteArray uncompressedGif(int width, int height) {
    auto le16 = [](QByteArray& out, int value) {
        out.append(char(value & 0xFF));
        out.append(char((value >> 8) & 0xFF));
    };
    QByteArray gif("GIF89a");
    le16(gif, width);
    le16(gif, height);
    gif.append("\x80\x00\x00", 3);             // global table of two colours
    gif.append("\xFF\x00\x00\x00\x00\xFF", 6); // red, blue
    gif.append(',');
    le16(gif, 0);
    le16(gif, 0);
    le16(gif, width);
    le16(gif, height);
    gif.append('\0');
    gif.append('\x02'); // minimum code size
    QByteArray packed;
    quint32 buffer = 0;
    int bits = 0;
    auto putCode = [&](int code) {
        buffer |= quint32(code) << bits;
        bits += 3;
        while (bits >= 8) {
            packed.append(char(buffer & 0xFF));
            buffer >>= 8;
            bits -= 8;
        }
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            putCode(4); // clear
            putCode((x < width / 2) == (y < height / 2) ? 0 : 1);
        }
    }
    putCode(5); // end of information
    if (bits > 0)
        packed.append(char(buffer & 0xFF));
    for (qsizetype offset = 0; offset < packed.size(); offset += 255) {
        const QByteArray block = packed.mid(offset, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    gif.append('\0');
    gif.append(';');
    return gif;
}

} // namespace

QByteArray encodedImage(int width, int height, const char* format) {
    if (qstrcmp(format, "GIF") == 0)
        return uncompressedGif(width, height);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(patternImage(width, height)))
        throw std::runtime_error(std::string("cannot encode test image as ") + format);
    return bytes;
}

QByteArray decodedAudioDigest(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "fatal", "-i", path, "-map", "0:a", "-c:a", "pcm_s32le", "-f", "md5", "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return {};
    return ffmpeg.readAllStandardOutput().trimmed();
}

QStringList hiddenSaveLeftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*.cadenza-*")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace TestSupport
