#pragma once

#include "Quire/ViewModels/BatchPreview.h"
#include "Quire/ViewModels/TextTransform.h"
#include "QuireCore/TagSet.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

class DocumentViewModel;

// What numbering tracks does to each file's track total.
struct TrackTotals {
    enum class Rule {
        keep,  // each file keeps the total it has
        count, // the number of files numbered (in the file's folder, when numbered per folder)
        given, // `given`
    };
    Rule rule = Rule::count;
    qint64 given = 0;
    bool operator==(const TrackTotals&) const = default;
};

// The number and total one file is given by numbering.
struct TrackNumbering {
    QUuid file;
    qint64 number = 0;
    std::optional<QString> total;
    // The file's track number holds text that is no number ("A1"), which numbering replaces.
    bool replacesText = false;
    bool operator==(const TrackNumbering&) const = default;
};

// The batch operations on the tags of the selected files (find and replace
// also on every loaded file): each works out the new tags with the per-file
// plans its preview shows (BatchPreview.h) and hands them to the document's
// commit() as one undo step; an operation that changes no value records none
// and marks nothing.
class TagOperations {
    Q_DECLARE_TR_FUNCTIONS(TagOperations)

public:
    explicit TagOperations(DocumentViewModel& document)
        : m_document(document) {}

    // Fills the fields a pattern such as "{trackNumber} - {title}" names from each file's name (without
    // its extension), or from the folders of its path; only the fields in `fields` are stored. The
    // report names each file left alone (a name that does not match) with why.
    BatchReport tagsFromFilename(const QString& pattern, const QList<FieldKey>& fields);
    BatchReport tagsFromPath(const QString& pattern, const QList<FieldKey>& fields);
    // The selected files in list order, numbered from `start`. Per folder, each
    // folder's selected files are numbered from `start` (and counted for the
    // total) on their own. Empty when nothing is selected or the numbers would
    // pass the 64-bit range.
    QList<TrackNumbering> planTrackNumbers(qint64 start, TrackTotals totals, bool perFolder = false) const;
    // Stores the plan's numbers and totals; one undo step.
    void numberTracks(qint64 start, TrackTotals totals, bool perFolder = false);

    // Both act on each value of a field that holds several, on the selected
    // files or (allFiles) on every shown file, and return 0 and
    // change nothing when there is no target file; an expression that does not
    // compile, or takes too long, matches nothing.
    int findAndReplace(const QString& search, const QString& replacement, bool useRegex, bool wholeWord,
                       const QList<FieldKey>& fields, bool allFiles);
    int countFindMatches(const QString& search, bool useRegex, bool wholeWord, const QList<FieldKey>& fields,
                         bool allFiles) const;
    // On each value of a field that holds several.
    BatchReport applyTextTransform(TextTransform transform, const QList<FieldKey>& fields);
    BatchReport copyFieldToField(const FieldKey& source, const FieldKey& target);

private:
    // Commits `plan` for every selected file as one step.
    BatchReport run(const QString& description, const FilePlanner& plan);

    DocumentViewModel& m_document;
};
