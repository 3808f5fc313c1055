// The commands of cadenza-cli, listed once: the parser takes their shapes and
// checks from here, the help its lines, and the session its handlers.
#pragma once

#include "CliSession.h"

#include <QStringList>
#include <optional>

// What a command needs selected to run.
enum class CliSelection { none, required, requiredUnlessAllFiles };

struct CliCommandEntry {
    const char* name;
    const char* usage; // what follows the name in the help: "FIELD [VALUE]"
    const char* help;  // its lines in the help, "\n" between them
    const char* group; // the help's heading above it
    int minArguments;
    int maxArguments; // -1: any number
    QStringList flags;
    QStringList valueOptions;
    CliSelection selection;
    // Checks beyond the number of arguments and the options' values: the error, or none.
    std::optional<QString> (*check)(const CliCommand&);
    CliSession::Status (CliSession::*handler)(const CliCommand&);
};

struct CliCommandTable {
    static const QList<CliCommandEntry>& all();
};

const CliCommandEntry* cliCommandNamed(const QString& name);
