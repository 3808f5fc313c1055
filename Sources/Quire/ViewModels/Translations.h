#pragma once

#include <QLocale>

// Installs the program's translations on the running application: the English
// one first, which gives the texts with a count their singular and plural forms
// ("1 file", "2 files"), then the one of the locale's language when the program
// has it (Qt asks the last installed first). Every main() calls this once, right
// after creating its application object.
void installTranslations(const QLocale& locale = QLocale());
