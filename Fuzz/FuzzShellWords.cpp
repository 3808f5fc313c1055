// The command line's word splitting and command parsing on arbitrary lines.
// Input: UTF-8 text. Whole, it is a command line; split at NUL bytes, it is a
// list of words.
#include "CliCommand.h"
#include "ShellWords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what, const QString& line) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\nline: %s\n", what, line.toUtf8().constData());
        std::abort();
    }
}

// Each word in single quotes, a quote inside as '\''.
QString quoted(const QStringList& words) {
    QStringList parts;
    for (QString word : words)
        parts.append(u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + u'\'');
    return parts.join(u' ');
}

bool sameCommand(const CliCommand& a, const CliCommand& b) {
    return a.name == b.name && a.arguments == b.arguments && a.flags == b.flags && a.options == b.options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString line = QString::fromUtf8(bytes);

    // Splitting, quoting the words and splitting again gives the same words.
    const Result<QStringList, QString> split = splitShellWords(line);
    if (split.ok()) {
        const QString requoted = quoted(split.value());
        const Result<QStringList, QString> again = splitShellWords(requoted);
        require(again.ok() && again.value() == split.value(), "quoted words split differently", line);
    } else {
        require(!split.error().isEmpty(), "an error without a message", line);
    }

    // Any list of words survives quoting.
    QStringList words;
    for (const QByteArray& word : bytes.split('\0'))
        words.append(QString::fromUtf8(word));
    const Result<QStringList, QString> fromWords = splitShellWords(quoted(words));
    require(fromWords.ok() && fromWords.value() == words, "a quoted list splits differently", line);

    // A command is its words: the same words quoted give the same command.
    const Result<CliCommand, QString> command = parseCliCommand(line);
    require(command.ok() || !command.error().isEmpty(), "a rejected command without a message", line);
    if (command.ok()) {
        require(split.ok() && command.value().name == split.value().first(), "the name is not the first word",
                line);
        const Result<CliCommand, QString> requoted = parseCliCommand(quoted(split.value()));
        require(requoted.ok() && sameCommand(requoted.value(), command.value()),
                "quoted words parse differently", line);
    }
    return 0;
}
