#include "WidgetTestSupport.h"

#include "Quire/DesktopAppearance.h"
#include "Quire/Views/Common/Alerts.h"
#include "Quire/Views/Common/ProminentButton.h"
#include "Quire/Views/FileList/FileListView.h"
#include "Quire/Views/Inspector/InspectorView.h"
#include "Quire/Views/Inspector/TagFieldEditors.h"
#include "Quire/Views/Palette/CommandPaletteView.h"
#include "Quire/Views/Sheets/BatchArtworkExportSheet.h"
#include "Quire/Views/Sheets/SheetParts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace DocumentTest;
using namespace WidgetTest;

namespace {

// What a screen reader says for the widget: Qt's accessible name, which
// falls back on a button's text or a field's buddy label.
QString spokenName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
}

// Controls the keyboard or the mouse act on. Scroll bars go with their views,
// and the inner box of a spin box or combo box is named by its owner.
bool isInteractive(QWidget* widget) {
    QWidget* owner = widget->parentWidget();
    if (qobject_cast<QScrollBar*>(widget) || qobject_cast<QAbstractSpinBox*>(owner) ||
        (owner && owner->focusProxy() == widget))
        return false;
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
        qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget))
        return true;
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

// Every shown control of the window without a name, as "Class (object name)".
QStringList unnamedControls(QWidget* window) {
    QStringList unnamed;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : std::as_const(widgets)) {
        if (widget->window() != window || !widget->isVisibleTo(window) || !widget->isEnabled() ||
            !isInteractive(widget))
            continue;
        if (spokenName(widget).isEmpty())
            unnamed.append(QStringLiteral("%1 (%2) in %3")
                               .arg(QString::fromLatin1(widget->metaObject()->className()),
                                    widget->objectName(),
                                    QString::fromLatin1(window->metaObject()->className())));
    }
    return unnamed;
}

// The same for a table's columns and cells, as its accessible cells report them.
QStringList unnamedCells(const QAbstractItemModel& model) {
    QStringList unnamed;
    const auto said = [](const QVariant& accessible, const QVariant& shown) {
        return !accessible.toString().trimmed().isEmpty() || !shown.toString().trimmed().isEmpty();
    };
    for (int column = 0; column < model.columnCount(); ++column) {
        if (!said(model.headerData(column, Qt::Horizontal, Qt::AccessibleTextRole),
                  model.headerData(column, Qt::Horizontal, Qt::DisplayRole)))
            unnamed.append(QStringLiteral("header %1").arg(column));
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex cell = model.index(row, column);
            if (!said(cell.data(Qt::AccessibleTextRole), cell.data(Qt::DisplayRole)))
                unnamed.append(QStringLiteral("cell %1,%2").arg(row).arg(column));
        }
    }
    return unnamed;
}

QStringList unnamedInShownWindows() {
    QStringList unnamed;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible())
            unnamed += unnamedControls(window);
    }
    return unnamed;
}

// The dialog open over the window, if any.
QDialog* shownDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Whether the box lays out its accepting button before its rejecting one.
bool acceptsFirst(const QDialogButtonBox& box, QAbstractButton* accept, QAbstractButton* reject) {
    return box.layout()->indexOf(accept) < box.layout()->indexOf(reject);
}

// The order the style gives a plain OK and Cancel.
bool styleAcceptsFirst() {
    const QDialogButtonBox reference(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    return acceptsFirst(reference, reference.button(QDialogButtonBox::Ok),
                        reference.button(QDialogButtonBox::Cancel));
}

class AccessibilityTest : public WindowTest {};

// Walks the window as users meet it: empty, with files and a selection (one
// file changed, with artwork), with the palette open, and with sheets open.
// Any control a screen reader could not name fails here.
TEST_F(AccessibilityTest, EveryControlHasAName) {
    EXPECT_EQ(unnamedInShownWindows(), QStringList());

    load({QStringLiteral("a.flac"), QStringLiteral("b.flac")});
    load({QStringLiteral("cover.flac")}, QStringLiteral("pictures.flac"));
    ASSERT_TRUE(document.editField(TagField::albumArtist, QStringLiteral("Changed"), ids()[0]).ok());
    document.setSelectedFiles({ids()[1]});
    QCoreApplication::processEvents();
    EXPECT_EQ(unnamedInShownWindows(), QStringList());
    EXPECT_EQ(unnamedCells(*list()->model()), QStringList());
    EXPECT_EQ(spokenName(list()), "Files");
    EXPECT_EQ(spokenName(window->inspectorPane()), "Inspector");
    // The marks column says what a mark means, and that a row has none.
    const QAbstractItemModel& model = *list()->model();
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::AccessibleTextRole), "Modified");
    EXPECT_EQ(model.index(0, 0).data(Qt::AccessibleTextRole), "Unsaved changes");
    EXPECT_EQ(model.index(1, 0).data(Qt::AccessibleTextRole), "Unchanged");
    // A field's box is named by its label.
    const auto* inspector = qobject_cast<InspectorView*>(window->inspectorPane());
    EXPECT_EQ(spokenName(inspector->box(TagField::albumArtist)->editor()), "Album Artist");

    // Several files: the varies states of the inspector and its artwork.
    document.setSelectedFiles({ids()[0], ids()[2]});
    QCoreApplication::processEvents();
    EXPECT_EQ(unnamedInShownWindows(), QStringList());

    commands.post(Commands::showCommandPalette);
    ASSERT_NE(window->commandPalette(), nullptr);
    EXPECT_EQ(unnamedInShownWindows(), QStringList());
    commands.post(Commands::showCommandPalette);

    for (const QString& command : {Commands::showFindReplaceSheet, Commands::showNumberingSheet,
                                   Commands::showBatchArtworkExport, Commands::showOptimizeArtworkSheet}) {
        commands.post(command);
        QDialog* sheet = shownDialog();
        ASSERT_NE(sheet, nullptr) << command.toStdString();
        EXPECT_EQ(unnamedInShownWindows(), QStringList()) << command.toStdString();
        // Chips name fields as users know them.
        if (auto* chips = sheet->findChild<FieldChips*>()) {
            EXPECT_EQ(chips->chip(TagField::albumArtist)->text(), "Album Artist");
        }
        sheet->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Alerts keep a short window title, the headline as their bold primary text,
// and buttons by role, so that the desktop's style orders them.
TEST(AlertTest, HeadlineAndButtonsAsTheDesktopLaysThemOut) {
    QWidget window;
    QWidget pane(&window);
    window.show();
    std::unique_ptr<QMessageBox> alert(Alerts::create(QMessageBox::Warning, QStringLiteral("Couldn’t Do It"),
                                                      QStringLiteral("Because."), &pane,
                                                      QStringLiteral("Save Failed")));
    EXPECT_EQ(alert->windowTitle(), "Save Failed");
    EXPECT_EQ(alert->text(), "Couldn’t Do It");
    EXPECT_EQ(alert->informativeText(), "Because.");
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    // A window of its own over the whole window, never a widget inside a pane.
    EXPECT_EQ(alert->parentWidget(), &window);
    EXPECT_TRUE(alert->isWindow());
    auto* headline = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(headline, nullptr);
    EXPECT_TRUE(headline->font().bold());

    // Added in the other order than the style's: laid out in the style's.
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton* remove = alert->addButton(QStringLiteral("Remove"), QMessageBox::AcceptRole);
    auto* box = alert->findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(acceptsFirst(*box, remove, cancel), styleAcceptsFirst());

    std::unique_ptr<QMessageBox> plain(
        Alerts::create(QMessageBox::Information, QStringLiteral("Done"), QString(), nullptr));
    EXPECT_EQ(plain->windowTitle(), "Cadenza");
}

// The sheets' buttons sit in a button box by role, and their result line
// shows an icon for the status emoji that the desktop's fonts may lack.
TEST_F(AccessibilityTest, SheetsUseTheStylesButtonOrderAndIconMarks) {
    load({QStringLiteral("a.flac")});
    document.setSelectedFiles({ids()[0]});
    commands.post(Commands::showBatchArtworkExport);
    auto* sheet = qobject_cast<Sheet*>(window->currentSheet());
    ASSERT_NE(sheet, nullptr);
    auto* buttons = sheet->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->buttonRole(sheet->dismissButton()), QDialogButtonBox::RejectRole);
    EXPECT_EQ(buttons->buttonRole(sheet->primaryButton()), QDialogButtonBox::AcceptRole);
    EXPECT_EQ(acceptsFirst(*buttons, sheet->primaryButton(), sheet->dismissButton()), styleAcceptsFirst());
    EXPECT_TRUE(sheet->primaryButton()->isDefault());

    auto* exportSheet = qobject_cast<BatchArtworkExportSheet*>(sheet);
    ASSERT_NE(exportSheet, nullptr);
    TestSupport::ScratchFolder out;
    exportSheet->folderChoice()->setFolder(QUrl::fromLocalFile(out.path()));
    QTest::mouseClick(sheet->primaryButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->resultText().isEmpty(); }, 10000));
    EXPECT_EQ(sheet->resultText(), "✅ Exported 1 artwork image.");
    QStringList shownTexts;
    bool showsIcon = false;
    for (QLabel* label : sheet->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(sheet))
            continue;
        shownTexts.append(label->text());
        showsIcon = showsIcon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(shownTexts.contains("Exported 1 artwork image.")) << shownTexts.join('|').toStdString();
    EXPECT_FALSE(shownTexts.join(QString()).contains(QStringLiteral("✅")))
        << shownTexts.join('|').toStdString();
    EXPECT_TRUE(showsIcon);
    sheet->close();
}

// A dark preference with a light style palette turns the application dark;
// dropping it brings the style's palette back, and views drawn from the
// palette follow.
TEST(AppearanceTest, DarkPreferenceAppliesAndRestoresThePalette) {
    const QPalette light = QApplication::palette();
    ASSERT_FALSE(DesktopAppearance::isDark(light)) << "the tests run with a light style palette";
    qputenv("CADENZA_COLOR_SCHEME", "dark");
    {
        DesktopAppearance appearance(QDBusConnection(QStringLiteral("none")));
        EXPECT_EQ(appearance.scheme(), DesktopAppearance::Scheme::dark);
        EXPECT_TRUE(appearance.showsDarkPalette());
        EXPECT_TRUE(DesktopAppearance::isDark(QApplication::palette()));
        // Text reads on the dark windows and fields.
        const QPalette dark = QApplication::palette();
        EXPECT_GT(dark.color(QPalette::WindowText).lightness() - dark.color(QPalette::Window).lightness(),
                  120);
        EXPECT_GT(dark.color(QPalette::Text).lightness() - dark.color(QPalette::Base).lightness(), 120);
        EXPECT_GT(dark.color(QPalette::PlaceholderText).lightness(),
                  dark.color(QPalette::Base).lightness() + 60);

        QWidget parent;
        ProminentButton button(QStringLiteral("Save"), &parent);
        EXPECT_EQ(button.palette().color(QPalette::Button), dark.color(QPalette::Highlight));

        appearance.setScheme(DesktopAppearance::Scheme::light);
        EXPECT_FALSE(appearance.showsDarkPalette());
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), light.color(QPalette::Window));
        QCoreApplication::processEvents();
        EXPECT_EQ(button.palette().color(QPalette::Button), light.color(QPalette::Highlight));

        appearance.setScheme(DesktopAppearance::Scheme::dark);
        EXPECT_TRUE(DesktopAppearance::isDark(QApplication::palette()));
    }
    qunsetenv("CADENZA_COLOR_SCHEME");
    // Gone with the object that applied it.
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), light.color(QPalette::Window));

    // The portal's values, wrapped as its Read method wraps them.
    EXPECT_EQ(DesktopAppearance::schemeFromPortal(QVariant::fromValue(QDBusVariant(QVariant(1u)))),
              DesktopAppearance::Scheme::dark);
    EXPECT_EQ(DesktopAppearance::schemeFromPortal(QVariant(2u)), DesktopAppearance::Scheme::light);
    EXPECT_EQ(DesktopAppearance::schemeFromPortal(QVariant(0u)), DesktopAppearance::Scheme::noPreference);
    EXPECT_EQ(DesktopAppearance::schemeFromPortal(QVariant(QStringLiteral("dark"))),
              DesktopAppearance::Scheme::noPreference);
}

// A settings portal on a private bus, answering Read and announcing changes
// as the desktop's does; it injects the desktop's preference.
class SettingsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint colorScheme = 1;

public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        if (group != u"org.freedesktop.appearance" || key != u"color-scheme")
            return {};
        // The value comes wrapped in one variant more than the signal carries.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(colorScheme))));
    }
};

// A session bus of the test's own.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return;
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_connection = QDBusConnection::connectToBus(address, QStringLiteral("cadenza-test-bus"));
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("cadenza-test-bus"));
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    bool isConnected() const { return m_connection && m_connection->isConnected(); }
    QDBusConnection connection() const { return *m_connection; }

private:
    QProcess m_daemon;
    std::optional<QDBusConnection> m_connection;
};

// The preference is read from the portal at start and followed as it changes.
TEST(AppearanceTest, FollowsTheSettingsPortal) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    const PrivateBus bus;
    ASSERT_TRUE(bus.isConnected());
    QDBusConnection connection = bus.connection();
    {
        // No portal on the bus: no preference, and the style's palette.
        const DesktopAppearance appearance(connection);
        EXPECT_EQ(appearance.scheme(), DesktopAppearance::Scheme::noPreference);
        EXPECT_FALSE(DesktopAppearance::isDark(QApplication::palette()));
    }
    SettingsPortal portal;
    ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    DesktopAppearance appearance(connection);
    EXPECT_EQ(appearance.scheme(), DesktopAppearance::Scheme::dark);
    EXPECT_TRUE(DesktopAppearance::isDark(QApplication::palette()));

    const auto announce = [&](const QString& key, uint value) {
        QDBusMessage changed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                          QStringLiteral("org.freedesktop.portal.Settings"),
                                                          QStringLiteral("SettingChanged"));
        changed << QStringLiteral("org.freedesktop.appearance") << key
                << QVariant::fromValue(QDBusVariant(QVariant(value)));
        ASSERT_TRUE(connection.send(changed));
    };
    QSignalSpy changes(&appearance, &DesktopAppearance::schemeChanged);
    announce(QStringLiteral("accent-color"), 2); // another setting changes nothing
    announce(QStringLiteral("color-scheme"), 2);
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_EQ(appearance.scheme(), DesktopAppearance::Scheme::light);
    EXPECT_FALSE(DesktopAppearance::isDark(QApplication::palette()));
    EXPECT_EQ(changes.count(), 1);

    announce(QStringLiteral("color-scheme"), 1);
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_TRUE(appearance.showsDarkPalette());
}

} // namespace

#include "DesktopTests.moc"
