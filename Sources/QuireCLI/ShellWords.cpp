#include "ShellWords.h"

#include <QCoreApplication>

Result<QStringList, QString> splitShellWords(const QString& line) {
    QStringList words;
    QString word;
    bool inWord = false; // a quoted empty string is still a word
    enum class Quote { none, single, doubled } quote = Quote::none;

    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        switch (quote) {
        case Quote::single:
            if (c == u'\'')
                quote = Quote::none;
            else
                word += c;
            break;
        case Quote::doubled:
            if (c == u'"') {
                quote = Quote::none;
            } else if (c == u'\\' && i + 1 < line.size() && QStringView(u"\"\\$`\n").contains(line[i + 1])) {
                if (line[++i] != u'\n')
                    word += line[i];
            } else {
                word += c;
            }
            break;
        case Quote::none:
            if (c == u' ' || c == u'\t' || c == u'\n') {
                if (inWord)
                    words.append(std::exchange(word, {}));
                inWord = false;
            } else if (c == u'\'' || c == u'"') {
                quote = c == u'\'' ? Quote::single : Quote::doubled;
                inWord = true;
            } else if (c == u'\\') {
                if (i + 1 == line.size())
                    return QCoreApplication::translate("ShellWords", "a backslash ends the command");
                if (line[++i] != u'\n')
                    word += line[i];
                inWord = true;
            } else {
                word += c;
                inWord = true;
            }
            break;
        }
    }
    if (quote != Quote::none)
        return QCoreApplication::translate("ShellWords", "a quotation is not closed");
    if (inWord)
        words.append(word);
    return words;
}
