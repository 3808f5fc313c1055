#pragma once

#include <QWidget>

// A card on the window colour with rounded corners and a soft shadow below,
// drawn in a margin of `shadowWidth` on every side: floating panels such as
// the import progress and the command palette.
class ShadowCard : public QWidget {
public:
    ShadowCard(int shadowWidth, int cornerRadius, int shadowDrop, QWidget* parent = nullptr);

    int shadowWidth() const { return m_shadowWidth; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_shadowWidth;
    int m_cornerRadius;
    int m_shadowDrop; // how far the shadow falls below the card
};
