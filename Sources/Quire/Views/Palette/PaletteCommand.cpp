#include "Quire/Views/Palette/PaletteCommand.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/MainWindow/WindowActions.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("CommandPalette", text);
}

std::optional<QString> hint(const QAction* action) {
    if (!action || action->shortcut().isEmpty())
        return std::nullopt;
    return action->shortcut().toString(QKeySequence::NativeText);
}
} // namespace

QList<PaletteCommand> Palette::allCommands(DocumentViewModel* document, CommandCenter* commands,
                                           const WindowActions& actions) {
    const bool idle = !document->isSaving() && !document->isLoading();
    const bool hasSelection = !document->selectedFiles().isEmpty();
    const bool hasFiles = !document->files().isEmpty();
    const QPointer<DocumentViewModel> target(document);
    const QPointer<CommandCenter> center(commands);
    const auto post = [center](const QString& name) {
        return [center, name] {
            if (center)
                center->post(name);
        };
    };

    QList<PaletteCommand> list{
        {tr("Save All Changes"), QStringLiteral("square.and.arrow.down"), hint(actions.saveAllChanges),
         QStringLiteral("save write"), document->modifiedCount() > 0 && idle,
         [target] {
             if (target)
                 target->saveAll();
         }},
        {tr("Undo"), QStringLiteral("arrow.uturn.backward"), hint(actions.undo), QStringLiteral("undo"),
         document->canUndo() && idle,
         [target] {
             if (target)
                 target->undo();
         }},
        {tr("Redo"), QStringLiteral("arrow.uturn.forward"), hint(actions.redo), QStringLiteral("redo"),
         document->canRedo() && idle,
         [target] {
             if (target)
                 target->redo();
         }},
    };
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        list.append({tr("Switch Layout: %1").arg(layout.name), layout.icon, std::nullopt,
                     QStringLiteral("layout ") + layout.name, true, [target, layout] {
                         if (target)
                             target->setCurrentLayout(layout);
                     }});
    }
    list.append({tr("Toggle Inspector"), QStringLiteral("sidebar.trailing"), hint(actions.toggleInspector),
                 QStringLiteral("inspector toggle panel"), true, [target] {
                     if (target)
                         target->setInspectorVisible(!target->inspectorVisible());
                 }});
    const bool batch = hasSelection && idle;
    list.append({tr("Copy Field to Field…"), QStringLiteral("rectangle.on.rectangle"), std::nullopt,
                 QStringLiteral("copy field"), batch, post(Commands::showCopyFieldSheet)});
    list.append({tr("Rename from Pattern…"), QStringLiteral("pencil"), std::nullopt,
                 QStringLiteral("rename pattern"), batch, post(Commands::showRenameSheet)});
    list.append({tr("Number Tracks…"), QStringLiteral("list.number"), std::nullopt,
                 QStringLiteral("number tracks sequential"), batch, post(Commands::showNumberingSheet)});
    list.append({tr("Tags from Filename…"), QStringLiteral("textformat"), std::nullopt,
                 QStringLiteral("extract filename tags"), batch, post(Commands::showTagsFromFilenameSheet)});
    list.append({tr("Tags from Path…"), QStringLiteral("folder"), std::nullopt,
                 QStringLiteral("extract path tags directory"), batch,
                 post(Commands::showTagsFromPathSheet)});
    list.append({tr("Find & Replace…"), QStringLiteral("magnifyingglass"), hint(actions.findAndReplace),
                 QStringLiteral("find replace search"), hasFiles && idle,
                 post(Commands::showFindReplaceSheet)});
    list.append({tr("Text Transforms…"), QStringLiteral("textformat.size"), std::nullopt,
                 QStringLiteral("transform title case upper lower"), batch,
                 post(Commands::showTextTransformSheet)});
    list.append({tr("Batch Artwork Import…"), QStringLiteral("photo.on.rectangle.angled"), std::nullopt,
                 QStringLiteral("batch artwork import folder"), hasFiles && idle,
                 post(Commands::showBatchArtworkImport)});
    list.append({tr("Export All Artwork…"), QStringLiteral("square.and.arrow.up.on.rectangle"), std::nullopt,
                 QStringLiteral("export artwork all"), idle && document->filesWithArtworkCount() > 0,
                 post(Commands::showBatchArtworkExport)});
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
