#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace Platform {

// The text with letter case folded (fully: "ß" folds like "SS") and diacritical marks removed, from its
// canonical decomposition, so that "Café", "CAFE\u0301" and "cafe" fold alike. None when ICU cannot
// normalise (missing data), so that a failure never makes two texts look alike.
std::optional<QString> foldedCaseAndMarks(QStringView text);

} // namespace Platform
