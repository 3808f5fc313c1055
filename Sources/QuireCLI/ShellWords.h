#pragma once

#include "QuireCore/Result.h"

#include <QString>
#include <QStringList>

// Splits one command line into words the way a POSIX shell does, without
// expansions: blanks separate words; single quotes keep everything literally;
// double quotes keep everything but let a backslash escape " \ $ ` and a line
// break; outside quotes a backslash makes the next character literal.
// Unterminated quotes and a trailing backslash are errors.
Result<QStringList, QString> splitShellWords(const QString& line);
