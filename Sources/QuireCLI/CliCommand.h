#pragma once

#include "QuireCore/Result.h"
#include "QuireCore/TagField.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// One command of a -c argument, checked before anything runs: the name is
// known, the number of arguments fits, and every field name, number and option
// is valid. Execution can then assume well-formed input.
struct CliCommand {
    QString line; // as the user gave it, for messages
    QString name;
    QStringList arguments;
    QSet<QString> flags;             // --regex, --whole-word, ...
    QHash<QString, QString> options; // --fields F,F, --start N, ...

    bool hasFlag(const char* flag) const { return flags.contains(QLatin1String(flag)); }
    std::optional<QString> option(const char* name) const;
};

// Parses and checks one command line; the error names what was wrong.
Result<CliCommand, QString> parseCliCommand(const QString& line);

// A field by its raw value (title, albumArtist, ...) or property name (DATE,
// TRACKNUMBER...), in any case; or a custom item by its name in capitals
// (CATALOGNUMBER), so that a misspelt field name is no new item.
std::optional<FieldKey> fieldNamed(const QString& name);
// A comma-separated list of field names; none if any is unknown.
std::optional<QList<FieldKey>> fieldsNamed(const QString& list);
// The fields tags-from-filename fills: those it names, title and trackNumber
// by default, and the custom items the pattern names.
QList<FieldKey> tagsFromFilenameFields(const CliCommand& command);
// The fields tags-from-path fills.
QList<FieldKey> tagsFromPathFields();

// Values given one by one, as the text of a field with several values ("A; B").
QString joinedValues(const QStringList& values);

// The help text of cadenza-cli.
QString cliHelpText();
