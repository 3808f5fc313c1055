#pragma once

#include <QString>
#include <QUrl>

namespace AppInfo {
// The application's version, or "—" when it has none.
QString shortVersion();
// A mailto: link to the feedback address configured at build time.
QUrl feedbackURL();
} // namespace AppInfo
