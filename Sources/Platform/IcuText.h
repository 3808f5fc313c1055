#pragma once

#include <QString>
#include <QStringView>
#include <unicode/unistr.h>

// Both sides hold UTF-16, so text crosses between Qt and ICU by copying code units.
namespace Platform {

inline icu::UnicodeString toIcu(QStringView text) {
    return icu::UnicodeString(reinterpret_cast<const char16_t*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

inline QString fromIcu(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace Platform
