#include "Quire/Views/Common/ShadowCard.h"

#include <QPainter>

ShadowCard::ShadowCard(int shadowWidth, int cornerRadius, int shadowDrop, QWidget* parent)
    : QWidget(parent)
    , m_shadowWidth(shadowWidth)
    , m_cornerRadius(cornerRadius)
    , m_shadowDrop(shadowDrop) {}

void ShadowCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const int w = m_shadowWidth;
    const QRectF card = QRectF(rect()).adjusted(w, w, -w, -w);
    for (int step = w; step > 0; --step) {
        painter.setBrush(QColor(0, 0, 0, 84 / w));
        painter.drawRoundedRect(card.adjusted(-step, -step + m_shadowDrop, step, step + m_shadowDrop),
                                m_cornerRadius + step, m_cornerRadius + step);
    }
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(card, m_cornerRadius, m_cornerRadius);
}
