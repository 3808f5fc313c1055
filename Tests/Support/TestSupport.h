#pragma once

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}

namespace TestSupport {

// A fresh temporary folder per test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }
    // Writes bytes to a file below the folder, creating sub-folders; returns its path.
    QString write(const QString& relative, const QByteArray& bytes = {}) const;

private:
    QTemporaryDir m_dir;
};

// A small tmpfs mounted for the life of the object, to fill up in tests of a
// full file system. Mounting needs root; tests skip with skipReason() otherwise.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const char* size);
    ~SmallFileSystem();
    bool mounted() const { return m_mounted; }
    QString skipReason() const;
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + u'/' + name; }
    qint64 available() const;
    // Writes a filler file that leaves about `free` bytes.
    bool leaveFree(qint64 free) const;

private:
    ScratchFolder m_folder;
    QString m_path;
    bool m_mounted = false;
    int m_error = 0;
};

// Path of a committed fixture file.
QString fixturePath(const QString& name);

// The tags of each file as another tagger (mutagen) reads them, by the
// Tests/Support/tagdump tool: {"containers", "items", "audio_md5"} per file, in
// order. Empty when the tool fails; the reason goes to `error`.
QList<QJsonObject> independentTagDump(const QStringList& paths, QString* error = nullptr);

// A writable copy of a committed fixture in its own temporary folder, removed
// afterwards. Tests change copies only, never the fixtures themselves.
class ScopedFileCopy {
public:
    // Copies the fixture; the copy keeps the fixture's name unless another is given.
    explicit ScopedFileCopy(const QString& fixture, const QString& copyName = {});
    QString path() const { return m_path; }
    // The path as the operating system takes it (UTF-8 bytes), for C interfaces.
    QByteArray nativePath() const;
    QByteArray bytes() const;

private:
    ScratchFolder m_folder;
    QString m_path;
};

// A small test picture with a recognisable pattern, encoded in the given format
// ("JPEG", "PNG", "BMP", "TIFF", "GIF").
// A digest of the audio as ffmpeg decodes it, which tags do not affect; empty
// when it cannot be decoded.
QByteArray decodedAudioDigest(const QString& path);
// The hidden working copies and backups of saves left in a folder.
QStringList hiddenSaveLeftovers(const QString& folder);

QImage patternImage(int width, int height);
QByteArray encodedImage(int width, int height, const char* format);

} // namespace TestSupport
