#include "QuireCore/TagReaderError.h"

#include <QCoreApplication>

namespace {

// The variants the tag bridge names, for the translation tools; the bridge's
// English text is the key.
[[maybe_unused]] constexpr const char* unsupportedVariants[] = {
    QT_TRANSLATE_NOOP("TagReaderError", "RF64 WAV files are not supported"),
    QT_TRANSLATE_NOOP("TagReaderError", "Ogg files with several streams are not supported"),
    QT_TRANSLATE_NOOP(
        "TagReaderError",
        "ID3v2.2 tags, and second ID3v2 tags, holding a frame without an ID3v2.3 form are not supported"),
};

} // namespace

QString TagReaderError::description() const {
    switch (m_kind) {
    case Kind::readError:
        return QCoreApplication::translate("TagReaderError", "Read error: %1").arg(m_payload);
    case Kind::invalidNumber:
        return QCoreApplication::translate("TagReaderError", "%1 must be between 0 and 2147483647")
            .arg(m_payload);
    case Kind::failedToOpen:
        return QCoreApplication::translate("TagReaderError", "Could not open file");
    case Kind::writeFailed:
        return QCoreApplication::translate("TagReaderError", "Failed to write tags to file");
    case Kind::tagsNotReadCompletely:
        return QCoreApplication::translate(
            "TagReaderError",
            "Not saved: the tags could not be read completely, and saving would lose the part "
            "that could not be read");
    case Kind::duplicateTags:
        return QCoreApplication::translate(
            "TagReaderError",
            "Not saved: the file has two tags of the same kind, and saving would lose one of them");
    case Kind::valueTooLarge:
        if (m_payload.isEmpty())
            return QCoreApplication::translate("TagReaderError",
                                               "Not saved: a value is too large for this file’s format");
        return QCoreApplication::translate("TagReaderError",
                                           "Not saved: %1 is too large for %2 files, which hold at most %3")
            .arg(m_payload, m_detail)
            .arg(m_number);
    case Kind::notANumber:
        if (m_payload.isEmpty())
            return QCoreApplication::translate("TagReaderError",
                                               "Not saved: this file’s format keeps only numbers in a field "
                                               "that holds text");
        return QCoreApplication::translate("TagReaderError",
                                           "Not saved: %1 holds text that is not a number, and %2 files keep "
                                           "only numbers there")
            .arg(m_payload, m_detail);
    case Kind::missing:
        return QCoreApplication::translate("TagReaderError", "The file no longer exists");
    case Kind::picturesChanged:
        return QCoreApplication::translate("TagReaderError",
                                           "The file’s pictures changed on disk since it was opened; open "
                                           "it again to work with them");
    case Kind::noPermission:
        return m_number ? QCoreApplication::translate("TagReaderError",
                                                      "You don’t have permission to change this file")
                        : QCoreApplication::translate("TagReaderError",
                                                      "You don’t have permission to read this file");
    case Kind::readOnlyFileSystem:
        return QCoreApplication::translate("TagReaderError", "The file is on a read-only file system");
    case Kind::unsupportedVariant:
        return QCoreApplication::translate("TagReaderError", m_payload.toUtf8().constData());
    case Kind::emptyFile:
        return QCoreApplication::translate("TagReaderError", "The file is empty");
    case Kind::notAFile:
        return QCoreApplication::translate("TagReaderError",
                                           "There is no longer a file of this name: a folder or another "
                                           "kind of item has its name");
    case Kind::notEnoughSpace:
        return QCoreApplication::translate("TagReaderError",
                                           "Not saved: there isn’t enough free space on the disk");
    }
    Q_UNREACHABLE();
}
