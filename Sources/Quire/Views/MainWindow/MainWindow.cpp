#include "Quire/Views/MainWindow/MainWindow.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/Common/Alerts.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/ProminentButton.h"
#include "Quire/Views/Common/Symbols.h"
#include "Quire/Views/FileList/FileFilterBar.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/MainWindow/EmptyStateView.h"
#include "Quire/Views/MainWindow/ImportProgressOverlay.h"
#include "Quire/Views/MainWindow/OpenPanel.h"
#include "Quire/Views/MainWindow/QuitDecision.h"
#include "Quire/Views/MainWindow/StatusBarView.h"
#include "Quire/Views/Palette/CommandPaletteView.h"
#include "Quire/Views/Preferences/PreferencesWindow.h"
#include "Quire/Views/Sheets/SheetParts.h"
#include "Quire/Views/Sheets/Sheets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString inspectorShownKey = QStringLiteral("window/inspectorVisible");
} // namespace

MainWindow::MainWindow(DocumentViewModel* document, CommandCenter* commands, QWidget* parent)
    : QMainWindow(parent)
    , m_document(document)
    , m_commands(commands)
    , m_registry(new CommandRegistry(document, commands, this)) {
    setObjectName(QStringLiteral("main"));
    setMinimumSize(880, 540);
    resize(1180, 760);
    buildMenuBar();
    buildToolbar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_stack = new QStackedWidget(central);
    m_emptyState = new EmptyStateView(document, commands, m_stack);
    m_splitter = new QSplitter(Qt::Horizontal, m_stack);
    auto* listPane = new QWidget(m_splitter);
    auto* listLayout = new QVBoxLayout(listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    m_filterBar = new FileFilterBar(document, listPane);
    m_fileList = new FileListView(document, commands, m_registry, listPane);
    m_fileList->setMinimumWidth(400);
    listLayout->addWidget(m_filterBar);
    listLayout->addWidget(m_fileList, 1);
    setTabOrder(m_filterBar->field(), m_fileList);
    connect(m_filterBar, &FileFilterBar::leaveRequested, m_fileList,
            [this] { m_fileList->setFocus(Qt::OtherFocusReason); });
    m_inspectorPane = new InspectorView(document, m_splitter);
    m_inspectorPane->setObjectName(QStringLiteral("inspectorPane"));
    m_inspectorPane->setAccessibleName(tr("Inspector"));
    m_inspectorPane->setMinimumWidth(280);
    m_inspectorPane->setMaximumWidth(420);
    m_splitter->addWidget(listPane);
    m_splitter->addWidget(m_inspectorPane);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setCollapsible(0, false);
    m_splitter->setCollapsible(1, true);
    m_splitter->setSizes({860, 320});
    m_stack->addWidget(m_emptyState);
    m_stack->addWidget(m_splitter);
    m_statusBar = new StatusBarView(document, action(Commands::saveAllChanges), central);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_statusBar);
    setCentralWidget(central);
    // Over the whole window, toolbar and menus included.
    m_importOverlay = new ImportProgressOverlay(document, this);
    m_quitDecision = new QuitDecision(document, this);

    connect(m_quitDecision, &QuitDecision::deferredReply, this, [this](bool quit) {
        if (!quit)
            return;
        m_closeApproved = true;
        close();
    });
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        // Collapsing the pane by hand hides the inspector.
        if (m_splitter->sizes().value(1) == 0)
            setInspectorShown(false);
    });
    if (commands)
        connect(commands, &CommandCenter::posted, this, &MainWindow::handleCommand);
    connect(document, &DocumentViewModel::filesChanged, this, &MainWindow::refreshFiles);
    connect(document, &DocumentViewModel::filesChanged, this, &MainWindow::refreshSaveState);
    connect(&document->history(), &EditHistory::stateChanged, this, &MainWindow::refreshUndoState);
    connect(&document->notices(), &NoticeQueue::changed, this, &MainWindow::refreshNotices);
    refreshFiles();
    refreshSaveState();
    refreshUndoState();
    m_inspectorShown = QSettings().value(inspectorShownKey, true).toBool();
    m_inspectorPane->setVisible(m_inspectorShown);
    applyDocumentPreferences();
}

void MainWindow::applyDocumentPreferences() {
    const QSettings settings;
    m_document->setNewId3v2Version(Preferences::newId3v2Version(settings));
    m_document->setReadCachePath(Preferences::readCachePath(settings));
}

QAction* MainWindow::action(const QString& name) const {
    return m_registry->action(name);
}

// A push button that mirrors an action: its toolbar text, help text and enabled state.
static QPushButton* prominentButton(QAction* action, QWidget* parent) {
    auto* button = new ProminentButton(action->iconText(), parent);
    const auto mirror = [button, action] {
        button->setText(action->iconText());
        button->setToolTip(action->toolTip());
        button->setAccessibleName(action->iconText());
        button->setEnabled(action->isEnabled());
    };
    QObject::connect(action, &QAction::changed, button, mirror);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    mirror();
    return button;
}

// Every item is reachable from the keyboard: Alt and a title's letter opens
// its menu, the arrow keys move within it.
void MainWindow::buildMenuBar() {
    namespace C = Commands;
    const QString separator = QStringLiteral("-");
    m_registry->addTo(menuBar()->addMenu(tr("&File")), {C::openFiles, C::saveAllChanges, separator, C::quit});
    m_registry->addTo(menuBar()->addMenu(tr("&Edit")),
                      {C::undo, C::redo, separator, C::copyTags, C::pasteTags, separator, C::selectAll,
                       C::removeFromList, separator, C::showPreferences});
    QStringList view{C::showCommandPalette, C::toggleInspector,   separator, C::focusFilter,
                     C::focusNextPane,      C::focusPreviousPane, separator};
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns())
        view.append(C::switchLayoutPrefix + layout.name);
    m_registry->addTo(menuBar()->addMenu(tr("&View")), view);
    m_registry->addTo(menuBar()->addMenu(tr("&Tags")),
                      {C::showRenameSheet, C::showTagsFromFilenameSheet, C::showTagsFromPathSheet, separator,
                       C::showNumberingSheet, C::showFindReplaceSheet, C::showTextTransformSheet,
                       C::showCopyFieldSheet, separator, C::showLookupSheet});
    m_registry->addTo(menuBar()->addMenu(tr("&Artwork")),
                      {C::showBatchArtworkImport, C::showBatchArtworkExport, separator, C::chooseArtwork,
                       C::pasteArtwork, C::copyArtwork, C::exportArtwork, C::showOptimizeArtworkSheet,
                       C::removeArtwork});
    m_registry->addTo(menuBar()->addMenu(tr("&Help")), {C::showAbout, C::checkForUpdates});
    setUpdatesOffered(false);
}

void MainWindow::buildToolbar() {
    QToolBar* toolbar = addToolBar(tr("Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(18, 18));
    toolbar->addAction(action(Commands::openFiles));
    toolbar->addSeparator();
    toolbar->addAction(action(Commands::undo));
    toolbar->addAction(action(Commands::redo));

    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    m_saveButton = prominentButton(action(Commands::saveAllChanges), toolbar);
    toolbar->addWidget(m_saveButton);

    auto* artworkMenu = new QMenu(this);
    m_registry->addTo(artworkMenu, {Commands::showBatchArtworkImport, Commands::showBatchArtworkExport});
    m_artworkButton = new QToolButton(toolbar);
    m_artworkButton->setText(tr("Artwork"));
    m_artworkButton->setIcon(Symbols::icon(QStringLiteral("photo.on.rectangle.angled")));
    m_artworkButton->setToolTip(tr("Batch artwork tools"));
    m_artworkButton->setAccessibleName(tr("Artwork"));
    m_artworkButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_artworkButton->setPopupMode(QToolButton::InstantPopup);
    m_artworkButton->setMenu(artworkMenu);
    toolbar->addWidget(m_artworkButton);
    toolbar->addAction(action(Commands::toggleInspector));

    // Every toolbar button is reachable with Tab and named for screen readers; separators and the
    // spacer are no stops.
    for (QAction* action : toolbar->actions()) {
        if (auto* button = qobject_cast<QAbstractButton*>(toolbar->widgetForAction(action))) {
            button->setFocusPolicy(Qt::TabFocus);
            if (button->accessibleName().isEmpty() && !action->iconText().isEmpty())
                button->setAccessibleName(action->iconText());
        }
    }
}

void MainWindow::handleCommand(const QString& name) {
    if (!m_document)
        return;
    ArtworkPanel* artwork = m_inspectorPane->artworkPanel();
    if (name == Commands::openFiles)
        showOpenPanel();
    else if (name == Commands::quit)
        close();
    else if (name == Commands::showPreferences)
        showPreferences();
    else if (name == Commands::showAbout)
        emit aboutRequested();
    else if (name == Commands::checkForUpdates)
        emit checkForUpdatesRequested();
    else if (name == Commands::toggleInspector)
        setInspectorShown(!m_inspectorShown);
    else if (name == Commands::showCommandPalette)
        setCommandPaletteShown(!m_showCommandPalette);
    else if (name == Commands::focusFilter && m_stack->currentWidget() == m_splitter)
        m_filterBar->focusField();
    else if (name == Commands::focusNextPane)
        focusPane(1);
    else if (name == Commands::focusPreviousPane)
        focusPane(-1);
    else if (name.startsWith(Commands::switchLayoutPrefix))
        switchLayout(name.mid(Commands::switchLayoutPrefix.size()));
    else if (name == Commands::chooseArtwork)
        artwork->chooseImage();
    else if (name == Commands::pasteArtwork)
        artwork->pasteImage();
    else if (name == Commands::copyArtwork)
        artwork->copyShownArtwork();
    else if (name == Commands::exportArtwork)
        artwork->exportShownArtwork();
    else if (name == Commands::showOptimizeArtworkSheet)
        artwork->showOptimizeSheet();
    else if (name == Commands::removeArtwork)
        artwork->removeArtwork();
    else
        presentSheet(name);
}

void MainWindow::focusPane(int step) {
    if (m_stack->currentWidget() != m_splitter)
        return;
    QList<QWidget*> panes{m_filterBar, m_fileList};
    if (m_inspectorShown)
        panes.append(m_inspectorPane);
    QWidget* focused = QApplication::focusWidget();
    qsizetype current = -1;
    for (qsizetype i = 0; i < panes.size(); ++i) {
        if (focused && (panes[i] == focused || panes[i]->isAncestorOf(focused)))
            current = i;
    }
    const qsizetype count = panes.size();
    if (current < 0)
        current = step > 0 ? count - 1 : 0;
    // An inspector without a control to take the focus (nothing selected) is passed over.
    for (qsizetype tried = 1; tried <= count; ++tried) {
        QWidget* pane = panes[(current + tried * step + count * count) % count];
        if (pane == m_filterBar) {
            m_filterBar->focusField();
            return;
        }
        if (pane == m_fileList) {
            m_fileList->setFocus(Qt::OtherFocusReason);
            return;
        }
        // The inspector's first control that takes the focus by Tab.
        for (QWidget* next = pane->nextInFocusChain(); next && next != pane;
             next = next->nextInFocusChain()) {
            if (pane->isAncestorOf(next) && next->isVisibleTo(pane) && next->isEnabled() &&
                (next->focusPolicy() & Qt::TabFocus)) {
                next->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    }
}

void MainWindow::switchLayout(const QString& layoutName) {
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        if (layout.name == layoutName)
            m_inspectorPane->setCurrentLayout(layout);
    }
}

// One sheet at a time, built fresh; it deletes itself when it closes.
void MainWindow::presentSheet(const QString& command) {
    if (!m_document || (m_sheet && m_sheet->isVisible()))
        return;
    QDialog* sheet = Sheets::create(command, m_document, this);
    if (!sheet)
        return;
    m_sheet = sheet;
    sheet->open();
}

// The palette is built afresh each time it opens and goes when it closes.
void MainWindow::setCommandPaletteShown(bool shown) {
    m_showCommandPalette = shown;
    if (!shown) {
        if (m_commandPalette) {
            m_commandPalette->hide();
            m_commandPalette->deleteLater();
            if (!m_sheet && m_stack->currentWidget() == m_splitter)
                m_fileList->setFocus();
        }
        return;
    }
    if (m_commandPalette)
        return;
    m_commandPalette = new CommandPaletteView(m_registry, this);
    connect(m_commandPalette, &CommandPaletteView::dismissed, this,
            [this] { setCommandPaletteShown(false); });
    m_commandPalette->show();
}

CommandPaletteView* MainWindow::commandPalette() const {
    return m_commandPalette;
}

PreferencesWindow* MainWindow::preferencesWindow() const {
    return m_preferences;
}

void MainWindow::showPreferences() {
    if (!m_preferences) {
        m_preferences = new PreferencesWindow(nullptr, this);
        m_preferences->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_preferences, &PreferencesWindow::changed, this, [this](const QString& key) {
            if (key == PreferenceKeys::defaultID3Version || key == PreferenceKeys::readCacheEnabled)
                applyDocumentPreferences();
        });
        connect(m_preferences, &PreferencesWindow::clearCacheRequested, this, [this] {
            if (m_document)
                m_document->clearReadCache();
        });
    }
    m_preferences->show();
    m_preferences->raise();
    m_preferences->activateWindow();
}

// Not modal: the window stays usable while the panel is open, and asking
// again brings the open panel to the front.
void MainWindow::showOpenPanel() {
    if (m_openPanel) {
        m_openPanel->raise();
        m_openPanel->activateWindow();
        return;
    }
    auto* panel = new OpenPanel(this);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::NonModal);
    connect(panel, &QDialog::accepted, this, [this, panel] {
        if (m_document)
            m_document->importFiles(panel->chosenUrls());
    });
    m_openPanel = panel;
    panel->show();
}

void MainWindow::setUpdatesOffered(bool offered) {
    action(Commands::checkForUpdates)->setVisible(offered);
}

void MainWindow::setCanCheckForUpdates(bool canCheck) {
    action(Commands::checkForUpdates)->setEnabled(canCheck);
}

void MainWindow::refreshFiles() {
    const qsizetype count = m_document->files().size();
    // The word stays plural for every count.
    setWindowTitle(count == 0 ? tr("Cadenza") + QStringLiteral("[*]")
                              : tr("Cadenza — %n files", nullptr, int(count)) + QStringLiteral("[*]"));
    setWindowModified(m_document->modifiedCount() > 0);
    QWidget* shown = count == 0 ? static_cast<QWidget*>(m_emptyState) : m_splitter;
    if (m_stack->currentWidget() != shown) {
        const bool hadFocus = m_stack->currentWidget() && m_stack->currentWidget()->hasFocus();
        m_stack->setCurrentWidget(shown);
        if (hadFocus || count > 0)
            m_fileList->setFocus();
    }
    m_statusBar->setVisible(count > 0);
    m_artworkButton->setEnabled(count > 0);
}

// The toolbar's button counts the files; the menus and the palette say "Save All Changes".
void MainWindow::refreshSaveState() {
    const qsizetype modified = m_document->modifiedCount();
    action(Commands::saveAllChanges)
        ->setIconText(modified < 2 ? tr("Save") : tr("Save %n Files", nullptr, int(modified)));
}

void MainWindow::refreshUndoState() {
    const auto undoDescription = m_document->history().undoDescription();
    const auto redoDescription = m_document->history().redoDescription();
    action(Commands::undo)->setToolTip(undoDescription ? tr("Undo: %1").arg(*undoDescription) : tr("Undo"));
    action(Commands::redo)->setToolTip(redoDescription ? tr("Redo: %1").arg(*redoDescription) : tr("Redo"));
}

void MainWindow::setInspectorShown(bool shown) {
    if (shown == m_inspectorShown)
        return;
    m_inspectorShown = shown;
    QSettings().setValue(inspectorShownKey, shown);
    m_inspectorPane->setVisible(shown);
    if (shown && m_splitter->sizes().value(1) == 0) {
        const int total = m_splitter->width();
        m_splitter->setSizes({std::max(400, total - 320), 320});
    }
}

// The document's notices, oldest first, one alert at a time: dismissing the
// alert dismisses its notice, and the next one shows.
void MainWindow::refreshNotices() {
    const QList<Notice>& notices = m_document->notices().all();
    if (m_noticeAlert) {
        const bool stillThere = std::any_of(notices.begin(), notices.end(), [this](const Notice& notice) {
            return notice.id == m_shownNotice;
        });
        if (stillThere)
            return;
        m_noticeAlert->done(0);
    }
    if (notices.isEmpty())
        return;
    const Notice& notice = notices.first();
    // Files read in part were added all the same: no operation failed.
    const QString heading =
        notice.kind == Notice::Kind::readInPart ? tr("Some Tags Could Be Read Only in Part")
        : notice.kind == Notice::Kind::unsaved  ? tr("Some Unsaved Changes Could Not Be Restored")
        : notice.kind == Notice::Kind::cache    ? tr("The Read Cache Was Started Anew")
                                                : tr("Couldn’t Complete the File Operation");
    QMessageBox* alert = Alerts::create(QMessageBox::Warning, heading, notice.text, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* ok = alert->addButton(tr("OK"), QMessageBox::RejectRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    connect(alert, &QDialog::finished, this, [this, id = notice.id] {
        m_noticeAlert = nullptr;
        if (m_document)
            m_document->notices().dismiss(id); // shows the next one
    });
    m_noticeAlert = alert;
    m_shownNotice = notice.id;
    alert->open();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closeApproved) {
        event->accept();
        emit closeAccepted();
        return;
    }
    switch (m_quitDecision->shouldTerminate()) {
    case QuitDecision::Reply::now:
        m_closeApproved = true;
        event->accept();
        emit closeAccepted();
        break;
    case QuitDecision::Reply::cancel:
    case QuitDecision::Reply::later:
        event->ignore();
        break;
    }
}
