#include "QuireCore/TagReaderError.h"

#include <QCoreApplication>

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
        return QCoreApplication::translate("TagReaderError",
                                           "Not saved: the tags could not be read completely, and saving "
                                           "would lose the part that could not be read");
    }
    Q_UNREACHABLE();
}
