#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPalette>
#include <optional>

class QDBusVariant;

// The desktop's light or dark preference, and the palette that follows it.
//
// The preference is CADENZA_COLOR_SCHEME ("dark" or "light") when that is set,
// else the freedesktop settings portal's "color-scheme" on the session bus,
// followed while it changes; with neither there is no preference. When dark is
// preferred and the style's palette is light (Fusion has no dark palette of its
// own), a dark palette is applied to the application; otherwise the style's
// palette is kept, or restored.
class DesktopAppearance : public QObject {
    Q_OBJECT
public:
    enum class Scheme { noPreference, dark, light };

    // Reads the preference from the environment or from the portal on `bus`,
    // applies it and follows the portal's changes.
    explicit DesktopAppearance(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);
    // Leaves the application with the style's palette.
    ~DesktopAppearance() override;

    Scheme scheme() const { return m_scheme; }
    // Whether the application shows the dark palette of this class.
    bool showsDarkPalette() const { return m_showsDark; }
    void setScheme(Scheme scheme);

    // "dark" or "light", in any case; nothing for any other text.
    static std::optional<Scheme> schemeFromName(QStringView name);
    // The portal's value: 1 prefers dark, 2 light, anything else nothing.
    static Scheme schemeFromPortal(const QVariant& value);
    static QPalette darkPalette();
    // Whether a palette's windows are dark, so that it needs no dark palette of ours.
    static bool isDark(const QPalette& palette);

signals:
    void schemeChanged();

private slots:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    std::optional<Scheme> readPortal();
    void apply();

    QDBusConnection m_bus;
    QPalette m_stylePalette;
    Scheme m_scheme = Scheme::noPreference;
    bool m_showsDark = false;
};
