#include "Quire/Views/Palette/PaletteCommand.h"

#include "Quire/Views/Commands/CommandRegistry.h"

#include <QAction>
#include <QPointer>

QList<PaletteCommand> Palette::allCommands(const CommandRegistry& registry) {
    QList<PaletteCommand> list;
    for (const CommandRegistry::Command& command : registry.commands()) {
        // Hidden commands are not offered here either.
        if (command.keywords.isEmpty() || !command.action->isVisible())
            continue;
        QAction* action = command.action;
        std::optional<QString> shortcut;
        if (!action->shortcut().isEmpty())
            shortcut = action->shortcut().toString(QKeySequence::NativeText);
        list.append({command.title, command.symbol, shortcut, command.keywords, action->isEnabled(),
                     [target = QPointer<QAction>(action)] {
                         if (target)
                             target->trigger();
                     }});
    }
    return list;
}

QList<PaletteCommand> Palette::filtered(const QList<PaletteCommand>& commands, const QString& searchText) {
    if (searchText.isEmpty())
        return commands;
    QList<PaletteCommand> found;
    for (const PaletteCommand& command : commands) {
        if (command.title.contains(searchText, Qt::CaseInsensitive) ||
            command.keywords.contains(searchText, Qt::CaseInsensitive))
            found.append(command);
    }
    return found;
}

qsizetype Palette::firstEnabled(const QList<PaletteCommand>& commands) {
    for (qsizetype i = 0; i < commands.size(); ++i)
        if (commands[i].isEnabled)
            return i;
    return 0;
}

qsizetype Palette::moved(const QList<PaletteCommand>& commands, qsizetype selected, int step) {
    QList<qsizetype> enabled;
    for (qsizetype i = 0; i < commands.size(); ++i)
        if (commands[i].isEnabled)
            enabled.append(i);
    if (enabled.isEmpty())
        return selected;
    const qsizetype count = enabled.size();
    qsizetype place = enabled.indexOf(selected);
    // From a disabled place, down starts just before the first enabled
    // command and up at the first one.
    if (place < 0)
        place = step > 0 ? -1 : 0;
    return enabled[((place + step) % count + count) % count];
}
