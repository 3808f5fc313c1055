#include "Quire/Views/Commands/CommandRegistry.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/Symbols.h"
#include "QuireCore/InspectorLayout.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("Commands", text);
}

} // namespace

// What the enabled rules read, taken from the document once per change. The
// artwork facts and `modified` are read only while the document is idle.
struct CommandFacts {
    bool hasFiles = false; // shown
    bool hasSelection = false;
    bool selectionHasArtwork = false;
    bool selectionSharesArtwork = false; // what the inspector shows, copies and exports
    bool hasArtwork = false;
    bool idle = false; // neither saving nor loading
    bool modified = false;
    bool canUndo = false;
    bool canRedo = false;
    bool clipboardFilled = false;
};

namespace {

using Facts = CommandFacts;

Facts factsOf(const DocumentViewModel& document) {
    Facts facts;
    facts.hasFiles = document.shownCount() > 0;
    const QList<AudioFile> selected = document.selectedAudioFiles();
    facts.hasSelection = !selected.isEmpty();
    facts.idle = !document.isSaving() && !document.isLoading() && !document.isMovingFiles();
    facts.canUndo = document.history().canUndo();
    facts.canRedo = document.history().canRedo();
    const TagClipboard& clipboard = document.tagClipboard().contents();
    facts.clipboardFilled = clipboard.tags.has_value() || clipboard.artwork.has_value();
    // Every rule that reads the facts below also asks for an idle document; while a save or an opening
    // changes the list again and again, they are not worth walking every file for.
    if (!facts.idle)
        return facts;
    facts.selectionHasArtwork = std::any_of(selected.begin(), selected.end(),
                                            [](const AudioFile& file) { return !file.artwork().isEmpty(); });
    const std::optional<QList<Artwork>> shared = AudioFile::batchArtwork(selected);
    facts.selectionSharesArtwork = shared && !shared->isEmpty();
    facts.hasArtwork = document.filesWithArtworkCount() > 0;
    facts.modified = document.modifiedCount() > 0;
    return facts;
}

using Rule = bool (*)(const Facts&);
using Run = void (*)(DocumentViewModel&);

bool batch(const Facts& facts) {
    return facts.hasSelection && facts.idle;
}
bool onFiles(const Facts& facts) {
    return facts.hasFiles && facts.idle;
}
bool onSelectedArtwork(const Facts& facts) {
    return batch(facts) && facts.selectionHasArtwork;
}
bool onSharedArtwork(const Facts& facts) {
    return batch(facts) && facts.selectionSharesArtwork;
}

struct Declaration {
    QString name = {};
    QString text = {};
    QString symbol = {};
    QString keywords = {}; // empty: not in the palette
    QKeySequence shortcut = {};
    Rule enabled = nullptr; // none: the owner of the action decides (enabled at first)
    Run run = nullptr;      // none: posts the name
    QString iconText = {};  // the toolbar's shorter text
    QString toolTip = {};   // %1 is the shortcut
    Qt::ShortcutContext context = Qt::WindowShortcut;
    QAction::MenuRole role = QAction::NoRole;
};

// Every command, in the palette's order; the ones without keywords follow.
QList<Declaration> declarations() {
    QList<Declaration> all{
        {.name = Commands::saveAllChanges,
         .text = tr("Save All Changes"),
         .symbol = QStringLiteral("square.and.arrow.down"),
         .keywords = QStringLiteral("save write"),
         .shortcut = QKeySequence::Save,
         .enabled = [](const Facts& facts) { return facts.modified && facts.idle; },
         .run = [](DocumentViewModel& document) { document.saveAll(); },
         .iconText = tr("Save"),
         .toolTip = tr("Save all changes to disk (%1)")},
        // One shortcut each, also where the desktop knows several.
        {.name = Commands::undo,
         .text = tr("Undo"),
         .symbol = QStringLiteral("arrow.uturn.backward"),
         .keywords = QStringLiteral("undo"),
         .shortcut = QKeySequence::Undo,
         .enabled = [](const Facts& facts) { return facts.canUndo && facts.idle; },
         .run = [](DocumentViewModel& document) { document.undo(); }},
        {.name = Commands::redo,
         .text = tr("Redo"),
         .symbol = QStringLiteral("arrow.uturn.forward"),
         .keywords = QStringLiteral("redo"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
         .enabled = [](const Facts& facts) { return facts.canRedo && facts.idle; },
         .run = [](DocumentViewModel& document) { document.redo(); }},
    };
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        all.append({.name = Commands::switchLayoutPrefix + layout.name,
                    .text = tr("Switch Layout: %1").arg(layout.name),
                    .symbol = layout.icon,
                    .keywords = QStringLiteral("layout ") + layout.name});
    }
    // A command that posts its name, in the palette.
    const auto posting = [](const QString& name, const QString& text, const char* symbol,
                            const char* keywords, Rule enabled) {
        return Declaration{.name = name,
                           .text = text,
                           .symbol = QLatin1String(symbol),
                           .keywords = QLatin1String(keywords),
                           .enabled = enabled};
    };
    all.append({
        {.name = Commands::toggleInspector,
         .text = tr("Toggle Inspector"),
         .symbol = QStringLiteral("sidebar.trailing"),
         .keywords = QStringLiteral("inspector toggle panel"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I),
         .iconText = tr("Inspector"),
         .toolTip = tr("Toggle inspector panel (%1)")},
        posting(Commands::showCopyFieldSheet, tr("Copy Field to Field…"), "rectangle.on.rectangle",
                "copy field", batch),
        posting(Commands::showRenameSheet, tr("Rename from Pattern…"), "pencil", "rename pattern", batch),
        posting(Commands::showNumberingSheet, tr("Number Tracks…"), "list.number", "number tracks sequential",
                batch),
        posting(Commands::showTagsFromFilenameSheet, tr("Tags from Filename…"), "textformat",
                "extract filename tags", batch),
        posting(Commands::showTagsFromPathSheet, tr("Tags from Path…"), "folder",
                "extract path tags directory", batch),
        {.name = Commands::showFindReplaceSheet,
         .text = tr("Find & Replace…"),
         .symbol = QStringLiteral("magnifyingglass"),
         .keywords = QStringLiteral("find replace search"),
         .shortcut = QKeySequence::Find,
         .enabled = onFiles},
        posting(Commands::showTextTransformSheet, tr("Text Transforms…"), "textformat.size",
                "transform title case upper lower", batch),
        posting(Commands::showLookupSheet, tr("Look Up Online…"), "magnifyingglass",
                "lookup online musicbrainz release album cover identify", batch),
        posting(Commands::showBatchArtworkImport, tr("Batch Artwork Import…"), "photo.on.rectangle.angled",
                "batch artwork import folder", onFiles),
        posting(Commands::showBatchArtworkExport, tr("Export All Artwork…"),
                "square.and.arrow.up.on.rectangle", "export artwork all",
                [](const Facts& facts) { return facts.idle && facts.hasArtwork; }),
        // The tag clipboard's keys belong to the file list: elsewhere Ctrl+C copies text.
        {.name = Commands::copyTags,
         .text = tr("Copy Tags"),
         .symbol = QStringLiteral("doc.on.doc"),
         .keywords = QStringLiteral("copy tags clipboard"),
         .shortcut = QKeySequence::Copy,
         .enabled = [](const Facts& facts) { return facts.hasSelection; },
         .run = [](DocumentViewModel& document) { document.tagClipboard().copyFromSelected(); },
         .context = Qt::WidgetShortcut},
        {.name = Commands::pasteTags,
         .text = tr("Paste Tags"),
         .symbol = QStringLiteral("doc.on.clipboard"),
         .keywords = QStringLiteral("paste tags clipboard"),
         .shortcut = QKeySequence::Paste,
         .enabled = [](const Facts& facts) { return facts.clipboardFilled && batch(facts); },
         .run = [](DocumentViewModel& document) { document.tagClipboard().pasteToSelected(true, true); },
         .context = Qt::WidgetShortcut},
        // The inspector's artwork panel does these, on the selection.
        posting(Commands::chooseArtwork, tr("Choose Artwork…"), "photo.badge.plus",
                "artwork cover image set choose", batch),
        posting(Commands::pasteArtwork, tr("Paste Artwork"), "doc.on.clipboard", "artwork cover image paste",
                batch),
        posting(Commands::copyArtwork, tr("Copy Artwork"), "doc.on.doc", "artwork cover image copy",
                onSharedArtwork),
        posting(Commands::exportArtwork, tr("Export Artwork…"), "square.and.arrow.up",
                "artwork cover image export", onSharedArtwork),
        posting(Commands::showOptimizeArtworkSheet, tr("Optimize Artwork…"), "photo",
                "artwork cover image optimize resize compress", onSelectedArtwork),
        posting(Commands::removeArtwork, tr("Remove Artwork"), "trash", "artwork cover image remove delete",
                onSelectedArtwork),
        // The file list handles Delete and Backspace itself, outside its cell editors. A save keeps
        // its files in the list.
        {.name = Commands::removeFromList,
         .text = tr("Remove from List"),
         .symbol = QStringLiteral("minus.circle"),
         .keywords = QStringLiteral("remove list close"),
         .shortcut = QKeySequence(Qt::Key_Backspace),
         .enabled = batch,
         .context = Qt::WidgetShortcut},
        // The file list's key, like the tag clipboard's: in a text box Ctrl+A selects the text. The shown
        // files only, so that what acts on the selection acts on what the list shows.
        {.name = Commands::selectAll,
         .text = tr("Select All"),
         .shortcut = QKeySequence::SelectAll,
         .enabled = [](const Facts& facts) { return facts.hasFiles; },
         .run = [](DocumentViewModel& document) { document.selectAll(); },
         .context = Qt::WidgetShortcut},
        // Ctrl+F is find and replace's; Ctrl+E is the desktop's other key for a search box.
        {.name = Commands::focusFilter,
         .text = tr("Filter Files"),
         .symbol = QStringLiteral("magnifyingglass"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_E)},
        {.name = Commands::focusNextPane, .text = tr("Next Pane"), .shortcut = QKeySequence(Qt::Key_F6)},
        {.name = Commands::focusPreviousPane,
         .text = tr("Previous Pane"),
         .shortcut = QKeySequence(Qt::SHIFT | Qt::Key_F6)},

        {.name = Commands::openFiles,
         .text = tr("Open…"),
         .symbol = QStringLiteral("plus"),
         .shortcut = QKeySequence::Open,
         .iconText = tr("Add Files"),
         .toolTip = tr("Add audio files or folders (%1)")},
        {.name = Commands::quit,
         .text = tr("Quit"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_Q),
         .role = QAction::QuitRole},
        {.name = Commands::showPreferences,
         .text = tr("Preferences…"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_Comma),
         .role = QAction::PreferencesRole},
        {.name = Commands::showCommandPalette,
         .text = tr("Command Palette…"),
         .shortcut = QKeySequence(Qt::CTRL | Qt::Key_K)},
        {.name = Commands::showAbout, .text = tr("About Cadenza"), .role = QAction::AboutRole},
        // Shown by the window only where the build can check, enabled while a check is possible.
        {.name = Commands::checkForUpdates,
         .text = tr("Check for Updates…"),
         .role = QAction::ApplicationSpecificRole},
    });
    return all;
}

} // namespace

CommandRegistry::CommandRegistry(DocumentViewModel* document, CommandCenter* commands, QObject* parent)
    : QObject(parent)
    , m_document(document) {
    const QPointer<CommandCenter> center(commands);
    const QPointer<DocumentViewModel> target(document);
    for (const Declaration& declaration : declarations()) {
        // A menu takes "&" for a mnemonic; these texts mean the character.
        auto* action = new QAction(QString(declaration.text).replace(u'&', QStringLiteral("&&")), this);
        action->setObjectName(declaration.name);
        if (!declaration.symbol.isEmpty())
            action->setIcon(Symbols::icon(declaration.symbol));
        action->setShortcut(declaration.shortcut);
        action->setShortcutContext(declaration.context);
        action->setMenuRole(declaration.role);
        if (!declaration.iconText.isEmpty())
            action->setIconText(declaration.iconText);
        if (!declaration.toolTip.isEmpty())
            action->setToolTip(
                declaration.toolTip.arg(declaration.shortcut.toString(QKeySequence::NativeText)));
        connect(action, &QAction::triggered, this,
                [center, target, run = declaration.run, name = declaration.name] {
                    if (run && target)
                        run(*target);
                    else if (!run && center)
                        center->post(name);
                });
        m_commands.append(
            {declaration.name, declaration.text, declaration.symbol, declaration.keywords, action});
        if (declaration.enabled)
            m_rules.append({action, declaration.enabled});
    }
    for (auto signal : {&DocumentViewModel::filesChanged, &DocumentViewModel::selectedFilesChanged,
                        &DocumentViewModel::isSavingChanged, &DocumentViewModel::isLoadingChanged,
                        &DocumentViewModel::isMovingFilesChanged})
        connect(document, signal, this, &CommandRegistry::refresh);
    connect(&document->history(), &EditHistory::stateChanged, this, &CommandRegistry::refresh);
    connect(&document->tagClipboard(), &TagClipboardModel::contentsChanged, this, &CommandRegistry::refresh);
    refresh();
}

QAction* CommandRegistry::action(const QString& name) const {
    for (const Command& command : m_commands) {
        if (command.name == name)
            return command.action;
    }
    return nullptr;
}

void CommandRegistry::addTo(QMenu* menu, const QStringList& names) const {
    for (const QString& name : names) {
        if (name == u"-")
            menu->addSeparator();
        else if (QAction* found = action(name))
            menu->addAction(found);
        else
            Q_ASSERT_X(false, "CommandRegistry::addTo", qPrintable(name));
    }
}

void CommandRegistry::refresh() {
    if (!m_document)
        return;
    const Facts facts = factsOf(*m_document);
    for (const auto& [action, rule] : std::as_const(m_rules))
        action->setEnabled(rule(facts));
    emit refreshed();
}
