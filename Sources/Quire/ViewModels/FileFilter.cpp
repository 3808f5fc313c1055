#include "Quire/ViewModels/FileFilter.h"

#include "Platform/TextFolding.h"

#include <QFileInfo>
#include <algorithm>
#include <variant>

namespace {

QString folded(QStringView text) {
    return Platform::foldedCaseAndMarks(text).value_or(text.toString().toCaseFolded());
}

// Names compare without case, marks, blanks, "_" and "-": "Album Artist", "album_artist" and "albumArtist"
// name one field.
QString nameForm(QStringView name) {
    QString form = folded(name);
    form.removeIf([](QChar c) { return c.isSpace() || c == u'_' || c == u'-'; });
    return form;
}

struct Word {
    QString name;
    bool hasName = false;
    QString value;
};

// Blanks part words outside double quotes; the first colon outside quotes ends a word's name.
QList<Word> wordsOf(const QString& text) {
    QList<Word> words;
    Word word;
    bool inWord = false;
    bool quoted = false;
    const auto finish = [&] {
        if (inWord)
            words.append(std::exchange(word, {}));
        inWord = false;
    };
    for (const QChar c : text) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            finish();
        } else if (c == u':' && !quoted && !word.hasName && !word.value.isEmpty()) {
            word.name = std::exchange(word.value, {});
            word.hasName = true;
        } else {
            word.value.append(c);
            inWord = true;
        }
    }
    finish();
    return words;
}

enum class Named { filename, folder, path };

std::optional<std::variant<FieldKey, Named>> fieldNamed(const QString& name) {
    const QString form = nameForm(name);
    if (form == u"filename" || form == u"file" || form == u"name")
        return Named::filename;
    if (form == u"folder" || form == u"directory" || form == u"dir")
        return Named::folder;
    if (form == u"path")
        return Named::path;
    if (form == u"track")
        return FieldKey(TagField::trackNumber);
    if (form == u"disc" || form == u"disk")
        return FieldKey(TagField::discNumber);
    for (TagField field : allTagFields) {
        if (form == nameForm(rawValue(field)) || form == nameForm(displayName(field)))
            return FieldKey(field);
    }
    if (const std::optional<FieldKey> key = FieldKey::fromName(name.trimmed()))
        return *key;
    return std::nullopt;
}

bool isCounted(TagField field) {
    return field == TagField::trackNumber || field == TagField::trackTotal || field == TagField::discNumber ||
           field == TagField::discTotal || field == TagField::bpm;
}

} // namespace

FileFilter::FileFilter(const QString& text)
    : m_text(text) {
    for (const Word& word : wordsOf(text)) {
        if (std::optional<Term> term = parseWord(word.name, word.hasName, word.value)) {
            term->finder.setPattern(term->folded);
            m_terms.append(*term);
        }
    }
}

std::optional<FileFilter::Term> FileFilter::parseWord(const QString& name, bool hasName,
                                                      const QString& value) {
    Term term;
    term.folded = folded(value);
    if (!hasName)
        return term.folded.isEmpty() ? std::nullopt : std::optional(term);
    const auto named = fieldNamed(name);
    // "artist:" while the text is still being typed narrows nothing yet.
    if (term.folded.isEmpty() && named)
        return std::nullopt;
    if (!named) {
        term.folded = folded(QString(name + u':' + value));
        return term;
    }
    if (const Named* other = std::get_if<Named>(&*named)) {
        term.scope = *other == Named::filename ? Scope::filename
                     : *other == Named::folder ? Scope::folder
                                               : Scope::path;
        return term;
    }
    const FieldKey key = std::get<FieldKey>(*named);
    term.scope = Scope::field;
    term.field = key;
    if (key.isCustom())
        term.orWord = folded(QString(name + u':' + value));
    if (key.field() == TagField::compilation) {
        if (term.folded == u"yes" || term.folded == u"true")
            term.folded = QStringLiteral("1");
        else if (term.folded == u"no" || term.folded == u"false")
            term.folded = QStringLiteral("0");
    } else if (key.field() && isCounted(*key.field())) {
        term.number = TagSet::parseInteger(value.trimmed());
    }
    return term;
}

bool FileFilter::termMatches(const Term& term, const AudioFile& file, QStringView anywhere) const {
    switch (term.scope) {
    case Scope::anywhere:
        return term.foundIn(anywhere);
    case Scope::filename:
        return term.foundIn(folded(file.filename()));
    case Scope::folder:
        return term.foundIn(folded(QFileInfo(file.path()).path()));
    case Scope::path:
        return term.foundIn(folded(file.path()));
    case Scope::field:
        break;
    }
    if (term.orWord && anywhere.contains(*term.orWord))
        return true;
    const FieldKey& key = *term.field;
    if (term.number && !file.tags().holdsTextForNumber(*key.field()))
        return file.tags().number(*key.field()) == term.number;
    const std::optional<QString> value = file.tags().value(key);
    if (key.field() == TagField::compilation)
        return value.value_or(QStringLiteral("0")) == term.folded;
    return value && folded(*value).contains(term.folded);
}

bool FileFilter::narrows(const FileFilter& wider) const {
    return std::all_of(wider.m_terms.begin(), wider.m_terms.end(), [this](const Term& widerTerm) {
        return widerTerm.scope != Scope::field &&
               std::any_of(m_terms.begin(), m_terms.end(), [&](const Term& term) {
                   return term.scope == widerTerm.scope && term.folded.contains(widerTerm.folded);
               });
    });
}

bool FileFilter::readsOnlySearchText() const {
    return std::all_of(m_terms.begin(), m_terms.end(),
                       [](const Term& term) { return term.scope == Scope::anywhere; });
}

bool FileFilter::needsSearchText() const {
    return std::any_of(m_terms.begin(), m_terms.end(),
                       [](const Term& term) { return term.scope == Scope::anywhere || term.orWord; });
}

// Plain words look in one text of every value; "\n" keeps values apart. Each
// value is folded on its own, so that one with a single accent does not send
// the whole text through the slow road of folding.
QString FileFilter::searchText(const AudioFile& file) {
    QStringList values{folded(file.filename())};
    const TagSet& tags = file.tags();
    for (TagField field : allTagFields) {
        if (field == TagField::compilation)
            continue; // "1" and "0" are no text anybody looks for
        if (const std::optional<QString> value = tags.value(field))
            values.append(folded(*value));
    }
    for (const QString& value : tags.custom)
        values.append(folded(value));
    return values.join(u'\n');
}

bool FileFilter::matches(const AudioFile& file) const {
    if (m_terms.isEmpty())
        return true;
    return matches(file, needsSearchText() ? searchText(file) : QString());
}

bool FileFilter::matches(const AudioFile& file, QStringView searchText) const {
    return std::all_of(m_terms.begin(), m_terms.end(),
                       [&](const Term& term) { return termMatches(term, file, searchText); });
}
