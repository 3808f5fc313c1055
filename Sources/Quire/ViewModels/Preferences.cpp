#include "Quire/ViewModels/Preferences.h"

#include <QSettings>

int Preferences::newId3v2Version(const QSettings& settings) {
    return settings.value(PreferenceKeys::defaultID3Version).toString() == id3v23 ? 3 : 4;
}
