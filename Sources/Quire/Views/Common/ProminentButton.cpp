#include "Quire/Views/Common/ProminentButton.h"

#include <QApplication>
#include <QEvent>

ProminentButton::ProminentButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {
    applyPalette();
}

// Only the enabled groups: a disabled button looks like any other.
void ProminentButton::applyPalette() {
    QPalette prominent = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        prominent.setColor(group, QPalette::Button, prominent.color(group, QPalette::Highlight));
        prominent.setColor(group, QPalette::ButtonText, prominent.color(group, QPalette::HighlightedText));
    }
    setPalette(prominent);
}

// The desktop's palette reaches a child as a change of its inherited palette.
bool ProminentButton::event(QEvent* event) {
    const bool result = QPushButton::event(event);
    if ((event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange) &&
        !m_applying) {
        m_applying = true;
        applyPalette();
        m_applying = false;
    }
    return result;
}
