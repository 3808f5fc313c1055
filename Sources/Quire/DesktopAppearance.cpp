#include "Quire/DesktopAppearance.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
// The portal answers at once when it runs; a desktop without one must not hold up the start.
constexpr int portalTimeoutMs = 500;

// Read answers with the value wrapped in one variant more than the signal carries.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 3 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

DesktopAppearance::DesktopAppearance(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_stylePalette(QApplication::palette()) {
    if (const QByteArray chosen = qgetenv("CADENZA_COLOR_SCHEME"); !chosen.isEmpty()) {
        // A fixed choice, as for screenshots: the portal is not asked.
        setScheme(schemeFromName(QString::fromLatin1(chosen)).value_or(Scheme::noPreference));
        return;
    }
    if (!m_bus.isConnected())
        return;
    // The slot's argument types are looked up by name: unregistered, the connection would fail quietly.
    qRegisterMetaType<QDBusVariant>();
    m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    setScheme(readPortal().value_or(Scheme::noPreference));
}

DesktopAppearance::~DesktopAppearance() {
    if (m_showsDark)
        QApplication::setPalette(m_stylePalette);
}

std::optional<DesktopAppearance::Scheme> DesktopAppearance::readPortal() {
    // Only a portal that runs: starting one on demand can take seconds.
    QDBusConnectionInterface* daemon = m_bus.interface();
    if (!daemon || !daemon->isServiceRegistered(portalService).value())
        return std::nullopt;
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << appearanceGroup << colorSchemeKey;
    const QDBusMessage reply = m_bus.call(read, QDBus::Block, portalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt; // an older portal without the setting
    return schemeFromPortal(reply.arguments().constFirst());
}

void DesktopAppearance::portalSettingChanged(const QString& group, const QString& key,
                                             const QDBusVariant& value) {
    if (group == appearanceGroup && key == colorSchemeKey)
        setScheme(schemeFromPortal(value.variant()));
}

void DesktopAppearance::setScheme(Scheme scheme) {
    const bool changed = scheme != m_scheme;
    m_scheme = scheme;
    apply();
    if (changed)
        emit schemeChanged();
}

void DesktopAppearance::apply() {
    const bool dark = m_scheme == Scheme::dark && !isDark(m_stylePalette);
    if (dark == m_showsDark)
        return;
    m_showsDark = dark;
    QApplication::setPalette(dark ? darkPalette() : m_stylePalette);
}

std::optional<DesktopAppearance::Scheme> DesktopAppearance::schemeFromName(QStringView name) {
    if (name.compare(u"dark", Qt::CaseInsensitive) == 0)
        return Scheme::dark;
    if (name.compare(u"light", Qt::CaseInsensitive) == 0)
        return Scheme::light;
    return std::nullopt;
}

DesktopAppearance::Scheme DesktopAppearance::schemeFromPortal(const QVariant& value) {
    const QVariant plain = unwrapped(value);
    bool isNumber = false;
    const uint number = plain.toUInt(&isNumber);
    if (!isNumber)
        return Scheme::noPreference;
    return number == 1 ? Scheme::dark : number == 2 ? Scheme::light : Scheme::noPreference;
}

bool DesktopAppearance::isDark(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QPalette DesktopAppearance::darkPalette() {
    const QColor window(50, 50, 52);
    const QColor base(36, 36, 38);
    const QColor text(232, 232, 232);
    const QColor dimmed(140, 140, 140);
    const QColor accent(53, 132, 228);
    QPalette palette(text, window, window.lighter(140), window.darker(160), window.darker(125), text, text,
                     base, window);
    palette.setColor(QPalette::AlternateBase, QColor(44, 44, 46));
    palette.setColor(QPalette::ToolTipBase, QColor(30, 30, 32));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(120, 174, 237));
    palette.setColor(QPalette::LinkVisited, QColor(176, 145, 226));
    palette.setColor(QPalette::BrightText, QColor(255, 120, 120));
    palette.setColor(QPalette::Shadow, QColor(10, 10, 10));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText})
        palette.setColor(QPalette::Disabled, role, QColor(110, 110, 110));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 82));
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, QColor(160, 160, 160));
    palette.setColor(QPalette::Inactive, QPalette::Highlight, accent.darker(130));
    return palette;
}
