#pragma once

#include <QPushButton>

// A push button in the palette's selection colours, for a view's main action.
// It follows the desktop's palette when that changes.
class ProminentButton : public QPushButton {
    Q_OBJECT
public:
    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;

private:
    void applyPalette();
    bool m_applying = false;
};
