#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class CommandRegistry;

// One entry of the command palette.
struct PaletteCommand {
    QString title;
    QString icon;                    // symbol name
    std::optional<QString> shortcut; // a hint only: the palette binds no keys
    QString keywords;                // space-separated, searched like the title
    bool isEnabled = false;
    std::function<void()> action;
};

namespace Palette {

// Every command of the registry that has palette keywords, in the registry's
// order, with its action's enabled state and shortcut; running one triggers
// its action.
QList<PaletteCommand> allCommands(const CommandRegistry& registry);

// The commands whose title or keywords contain the whole search text, ignoring
// case, in their order; all of them for an empty search. Disabled ones stay.
QList<PaletteCommand> filtered(const QList<PaletteCommand>& commands, const QString& searchText);

// The position of the first enabled command; 0 when none is enabled.
qsizetype firstEnabled(const QList<PaletteCommand>& commands);

// The position one enabled command further down (step 1) or up (step -1) from
// `selected`, wrapping around; disabled commands are skipped. `selected`
// itself when no command is enabled.
qsizetype moved(const QList<PaletteCommand>& commands, qsizetype selected, int step);

} // namespace Palette
