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

// What the enabled rules read, taken from the document once per change.
struct CommandFacts {
    bool hasFiles = false;
    bool hasSelection = false;
    bool selectionHasArtwork = false;
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
    facts.hasFiles = !document.files().isEmpty();
    const QList<AudioFile> selected = document.selectedAudioFiles();
    facts.hasSelection = !selected.isEmpty();
    facts.selectionHasArtwork = std::any_of(selected.begin(), selected.end(),
                                            [](const AudioFile& file) { return !file.artwork().isEmpty(); });
    facts.hasArtwork = document.filesWithArtworkCount() > 0;
    facts.idle = !document.isSaving() && !document.isLoading();
    facts.modified = document.modifiedCount() > 0;
    facts.canUndo = document.canUndo();
    facts.canRedo = document.canRedo();
    const TagClipboard& clipboard = document.tagClipboard();
    facts.clipboardFilled = clipboard.tags.has_value() || clipboard.artwork.has_value();
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

struct Declaration {
    QString name;
    QString text;
    QString symbol;
    QString keywords; // empty: not in the palette
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
        {Commands::saveAllChanges, tr("Save All Changes"), QStringLiteral("square.and.arrow.down"),
         QStringLiteral("save write"), QKeySequence::Save,
         [](const Facts& facts) { return facts.modified && facts.idle; },
         [](DocumentViewModel& document) { document.saveAll(); }, tr("Save"),
         tr("Save all changes to disk (%1)")},
        // One shortcut each, also where the desktop knows several.
        {Commands::undo, tr("Undo"), QStringLiteral("arrow.uturn.backward"), QStringLiteral("undo"),
         QKeySequence::Undo, [](const Facts& facts) { return facts.canUndo && facts.idle; },
         [](DocumentViewModel& document) { document.undo(); }},
        {Commands::redo, tr("Redo"), QStringLiteral("arrow.uturn.forward"), QStringLiteral("redo"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
         [](const Facts& facts) { return facts.canRedo && facts.idle; },
         [](DocumentViewModel& document) { document.redo(); }},
    };
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        all.append({Commands::switchLayoutPrefix + layout.name, tr("Switch Layout: %1").arg(layout.name),
                    layout.icon, QStringLiteral("layout ") + layout.name});
    }
    const QList<Declaration> rest{
        {Commands::toggleInspector, tr("Toggle Inspector"), QStringLiteral("sidebar.trailing"),
         QStringLiteral("inspector toggle panel"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I), nullptr,
         nullptr, tr("Inspector"), tr("Toggle inspector panel (%1)")},
        {Commands::showCopyFieldSheet,
         tr("Copy Field to Field…"),
         QStringLiteral("rectangle.on.rectangle"),
         QStringLiteral("copy field"),
         {},
         batch},
        {Commands::showRenameSheet,
         tr("Rename from Pattern…"),
         QStringLiteral("pencil"),
         QStringLiteral("rename pattern"),
         {},
         batch},
        {Commands::showNumberingSheet,
         tr("Number Tracks…"),
         QStringLiteral("list.number"),
         QStringLiteral("number tracks sequential"),
         {},
         batch},
        {Commands::showTagsFromFilenameSheet,
         tr("Tags from Filename…"),
         QStringLiteral("textformat"),
         QStringLiteral("extract filename tags"),
         {},
         batch},
        {Commands::showTagsFromPathSheet,
         tr("Tags from Path…"),
         QStringLiteral("folder"),
         QStringLiteral("extract path tags directory"),
         {},
         batch},
        {Commands::showFindReplaceSheet, tr("Find & Replace…"), QStringLiteral("magnifyingglass"),
         QStringLiteral("find replace search"), QKeySequence::Find, onFiles},
        {Commands::showTextTransformSheet,
         tr("Text Transforms…"),
         QStringLiteral("textformat.size"),
         QStringLiteral("transform title case upper lower"),
         {},
         batch},
        {Commands::showBatchArtworkImport,
         tr("Batch Artwork Import…"),
         QStringLiteral("photo.on.rectangle.angled"),
         QStringLiteral("batch artwork import folder"),
         {},
         onFiles},
        {Commands::showBatchArtworkExport,
         tr("Export All Artwork…"),
         QStringLiteral("square.and.arrow.up.on.rectangle"),
         QStringLiteral("export artwork all"),
         {},
         [](const Facts& facts) { return facts.idle && facts.hasArtwork; }},
        // The tag clipboard's keys belong to the file list: elsewhere Ctrl+C copies text.
        {Commands::copyTags,
         tr("Copy Tags"),
         QStringLiteral("doc.on.doc"),
         QStringLiteral("copy tags clipboard"),
         QKeySequence::Copy,
         [](const Facts& facts) { return facts.hasSelection; },
         [](DocumentViewModel& document) { document.copyTagsFromSelected(); },
         {},
         {},
         Qt::WidgetShortcut},
        {Commands::pasteTags,
         tr("Paste Tags"),
         QStringLiteral("doc.on.clipboard"),
         QStringLiteral("paste tags clipboard"),
         QKeySequence::Paste,
         [](const Facts& facts) { return facts.clipboardFilled && batch(facts); },
         [](DocumentViewModel& document) { document.pasteTagsToSelected(true, true); },
         {},
         {},
         Qt::WidgetShortcut},
        {Commands::chooseArtwork,
         tr("Choose Artwork…"),
         QStringLiteral("photo.badge.plus"),
         QStringLiteral("artwork cover image set choose"),
         {},
         batch},
        {Commands::pasteArtwork,
         tr("Paste Artwork"),
         QStringLiteral("doc.on.clipboard"),
         QStringLiteral("artwork cover image paste"),
         {},
         batch},
        {Commands::copyArtwork,
         tr("Copy Artwork"),
         QStringLiteral("doc.on.doc"),
         QStringLiteral("artwork cover image copy"),
         {},
         onSelectedArtwork},
        {Commands::exportArtwork,
         tr("Export Artwork…"),
         QStringLiteral("square.and.arrow.up"),
         QStringLiteral("artwork cover image export"),
         {},
         onSelectedArtwork},
        {Commands::showOptimizeArtworkSheet,
         tr("Optimize Artwork…"),
         QStringLiteral("photo"),
         QStringLiteral("artwork cover image optimize resize compress"),
         {},
         onSelectedArtwork},
        {Commands::removeArtwork,
         tr("Remove Artwork"),
         QStringLiteral("trash"),
         QStringLiteral("artwork cover image remove delete"),
         {},
         onSelectedArtwork},
        // The file list handles Delete and Backspace itself, outside its cell editors. A save keeps
        // its files in the list.
        {Commands::removeFromList,
         tr("Remove from List"),
         QStringLiteral("minus.circle"),
         QStringLiteral("remove list close"),
         QKeySequence(Qt::Key_Backspace),
         batch,
         nullptr,
         {},
         {},
         Qt::WidgetShortcut},

        {Commands::openFiles,
         tr("Open…"),
         QStringLiteral("plus"),
         {},
         QKeySequence::Open,
         nullptr,
         nullptr,
         tr("Add Files"),
         tr("Add audio files or folders (%1)")},
        {Commands::quit,
         tr("Quit"),
         {},
         {},
         QKeySequence(Qt::CTRL | Qt::Key_Q),
         nullptr,
         nullptr,
         {},
         {},
         Qt::WindowShortcut,
         QAction::QuitRole},
        {Commands::showPreferences,
         tr("Preferences…"),
         {},
         {},
         QKeySequence(Qt::CTRL | Qt::Key_Comma),
         nullptr,
         nullptr,
         {},
         {},
         Qt::WindowShortcut,
         QAction::PreferencesRole},
        {Commands::showCommandPalette, tr("Command Palette…"), {}, {}, QKeySequence(Qt::CTRL | Qt::Key_K)},
        {Commands::showAbout,
         tr("About Cadenza"),
         {},
         {},
         {},
         nullptr,
         nullptr,
         {},
         {},
         Qt::WindowShortcut,
         QAction::AboutRole},
        {Commands::checkForUpdates,
         tr("Check for Updates…"),
         {},
         {},
         {},
         nullptr,
         nullptr,
         {},
         {},
         Qt::WindowShortcut,
         QAction::ApplicationSpecificRole},
    };
    all.append(rest);
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
                        &DocumentViewModel::undoStateChanged, &DocumentViewModel::tagClipboardChanged})
        connect(document, signal, this, &CommandRegistry::refresh);
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
