#pragma once

#include "QuireCore/AudioFile.h"
#include "QuireCore/TagField.h"

#include <QList>
#include <QString>
#include <QStringMatcher>
#include <optional>

// Which files a filter text matches, as typed into the file list's filter field.
//
// The text is split into words at blanks ("double quotes" keep blanks inside
// one word); a file matches when every word does. A plain word matches when
// the file name, a tag field's text or a custom item's value contains it; a
// word "name:text" looks only in the named field: a tag field by its name as
// shown or as stored ("artist", "album artist", "albumartist", "track",
// "disc", "year", "DATE"...), "filename", "folder", "path", or a custom item
// ("catalognumber"); a name that names nothing known also matches the word as
// plain text, so that "12:30" finds a title with that text. Letter case and
// diacritical marks are ignored ("beyonce" finds "Beyoncé", "strasse"
// "Straße"). A whole number given for a track, disc or BPM field matches that
// number only ("track:3" is not track 13); a year matches by text ("year:197"
// finds the seventies, "year:1973" a full date in 1973).
//
// A value, cheap to copy; pure, so the command line can use it too.
class FileFilter {
public:
    FileFilter() = default;
    explicit FileFilter(const QString& text);

    const QString& text() const { return m_text; }
    // No words: every file matches.
    bool isEmpty() const { return m_terms.isEmpty(); }
    bool matches(const AudioFile& file) const;
    // The same with the file's searchText(), which a list filtered again and
    // again keeps rather than folds anew on every keystroke.
    bool matches(const AudioFile& file, QStringView searchText) const;
    // Whether matches() looks at the search text.
    bool needsSearchText() const;
    // Whether matches() looks at nothing else (every word plain): then it reads no record.
    bool readsOnlySearchText() const;
    // Whether every file this filter matches is matched by `wider` too, as
    // when a word is typed on: each of the wider filter's words is found
    // within one of this filter's words of the same kind, and none names a
    // tag field (whose numbers match by value).
    bool narrows(const FileFilter& wider) const;
    // Every value of `file` that plain words are looked for in, folded.
    static QString searchText(const AudioFile& file);

    bool operator==(const FileFilter& other) const { return m_text == other.m_text; }

private:
    enum class Scope { anywhere, field, filename, folder, path };
    struct Term {
        Scope scope = Scope::anywhere;
        std::optional<FieldKey> field;
        QString folded;        // the text to find
        QStringMatcher finder; // finds it, its tables made once for every file
        bool foundIn(QStringView text) const {
            // One character is found faster by a plain scan than through the tables.
            return folded.size() == 1 ? text.contains(folded.front()) : finder.indexIn(text) >= 0;
        }
        std::optional<qint64> number;  // a whole number for a track, disc or BPM field
        std::optional<QString> orWord; // the whole word as plain text, for a name that names nothing known
    };
    static std::optional<Term> parseWord(const QString& name, bool hasName, const QString& value);
    bool termMatches(const Term& term, const AudioFile& file, QStringView anywhere) const;

    QString m_text;
    QList<Term> m_terms;
};
