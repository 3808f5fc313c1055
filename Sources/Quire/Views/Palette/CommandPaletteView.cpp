#include "Quire/Views/Palette/CommandPaletteView.h"

#include "Quire/Views/Commands/CommandRegistry.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/Common/ShadowCard.h"
#include "Quire/Views/Common/Symbols.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int shadowWidth = 12;
constexpr int cardWidth = 480;
constexpr int maximumListHeight = 300;
constexpr int enabledRole = Qt::UserRole;
constexpr int highlightedRole = Qt::UserRole + 1;
constexpr int shortcutRole = Qt::UserRole + 2;

QFont captionFont(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

// A command's row: its symbol, its title and its shortcut hint on a small
// badge; dimmed when the command cannot run, and on an accent background
// when highlighted (and able to run).
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), option.fontMetrics.height() + 16};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const bool enabled = index.data(enabledRole).toBool();
        const QPalette& palette = option.palette;
        if (enabled && index.data(highlightedRole).toBool()) {
            QColor accent = palette.color(QPalette::Highlight);
            accent.setAlphaF(0.15);
            painter->fillRect(option.rect, accent);
        }
        painter->setOpacity(enabled ? 1.0 : 0.4);
        const QRect row = option.rect.adjusted(12, 8, -12, -8);
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const int iconSize = 16;
        icon.paint(painter, QRect(row.left() + 2, row.center().y() - iconSize / 2, iconSize, iconSize));
        int right = row.right();
        const QString shortcut = index.data(shortcutRole).toString();
        if (!shortcut.isEmpty()) {
            const QFont caption = captionFont(option.font);
            const QFontMetrics metrics(caption);
            const QRect badge(right - metrics.horizontalAdvance(shortcut) - 12,
                              row.center().y() - metrics.height() / 2 - 2,
                              metrics.horizontalAdvance(shortcut) + 12, metrics.height() + 4);
            QColor background = palette.color(QPalette::PlaceholderText);
            background.setAlphaF(0.1);
            painter->setPen(Qt::NoPen);
            painter->setBrush(background);
            painter->drawRoundedRect(badge, 4, 4);
            painter->setFont(caption);
            painter->setPen(palette.color(QPalette::PlaceholderText));
            painter->drawText(badge, Qt::AlignCenter, shortcut);
            right = badge.left() - 10;
        }
        painter->setFont(option.font);
        painter->setPen(palette.color(QPalette::WindowText));
        const QRect title(row.left() + 30, row.top(), right - row.left() - 30, row.height());
        painter->drawText(
            title, Qt::AlignVCenter | Qt::AlignLeft,
            option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, title.width()));
        painter->restore();
    }
};

} // namespace

CommandPaletteView::CommandPaletteView(CommandRegistry* registry, QWidget* parent)
    : QWidget(parent)
    , m_registry(registry)
    , m_card(new ShadowCard(shadowWidth, 10, 8, this))
    , m_search(new QLineEdit(m_card))
    , m_clear(new QToolButton(m_card))
    , m_list(new QListWidget(m_card))
    , m_empty(new QLabel(tr("No actions found"), m_card)) {
    setObjectName(QStringLiteral("commandPalette"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* glass = new QLabel(m_card);
    glass->setPixmap(Symbols::icon(QStringLiteral("magnifyingglass")).pixmap(16, 16));
    m_search->setPlaceholderText(tr("Search actions…"));
    m_search->setFrame(false);
    m_search->setAccessibleName(tr("Search actions…"));
    m_search->installEventFilter(this);
    m_clear->setIcon(Symbols::icon(QStringLiteral("xmark.circle.fill")));
    m_clear->setAutoRaise(true);
    m_clear->setFocusPolicy(Qt::NoFocus);
    m_clear->setToolTip(tr("Clear"));
    m_clear->setAccessibleName(tr("Clear"));
    m_clear->hide();
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(12, 12, 12, 12);
    searchRow->addWidget(glass);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_clear);

    auto* divider = new QFrame(m_card);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    m_list->setItemDelegate(new RowDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Base, Qt::transparent);
    m_list->setPalette(listPalette);
    m_empty->setFont(captionFont(m_empty->font()));
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setContentsMargins(0, 20, 0, 20);

    auto* layout = new QVBoxLayout(m_card);
    layout->setContentsMargins(shadowWidth, shadowWidth, shadowWidth, shadowWidth);
    layout->setSpacing(0);
    layout->addLayout(searchRow);
    layout->addWidget(divider);
    layout->addWidget(m_list);
    layout->addWidget(m_empty);
    m_card->setFixedWidth(cardWidth + 2 * shadowWidth);

    connect(m_search, &QLineEdit::textChanged, this, [this] {
        m_clear->setVisible(!m_search->text().isEmpty());
        refilter();
        select(Palette::firstEnabled(m_shown));
    });
    connect(m_clear, &QToolButton::clicked, m_search, &QLineEdit::clear);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { runCommand(m_list->row(item)); });
    connect(registry, &CommandRegistry::refreshed, this, &CommandPaletteView::rebuild);
    parent->installEventFilter(this);

    rebuild();
    select(Palette::firstEnabled(m_shown));
    place();
}

bool CommandPaletteView::showsNoActionsFound() const {
    return !m_empty->isHidden();
}

void CommandPaletteView::runCommand(qsizetype index) {
    if (index < 0 || index >= m_shown.size() || !m_shown[index].isEnabled)
        return;
    // The command may change the document and so this palette's list: run a copy.
    const std::function<void()> action = m_shown[index].action;
    action();
    emit dismissed();
}

// The commands' enabled states follow the registry's; the search and the
// highlighted place stay.
void CommandPaletteView::rebuild() {
    if (!m_registry)
        return;
    m_all = Palette::allCommands(*m_registry);
    refilter();
}

void CommandPaletteView::refilter() {
    m_shown = Palette::filtered(m_all, m_search->text());
    fill();
}

void CommandPaletteView::fill() {
    m_list->clear();
    for (qsizetype i = 0; i < m_shown.size(); ++i) {
        const PaletteCommand& command = m_shown[i];
        auto* item = new QListWidgetItem(Symbols::icon(command.icon), command.title, m_list);
        item->setData(enabledRole, command.isEnabled);
        item->setData(highlightedRole, i == m_selected);
        item->setData(shortcutRole, command.shortcut.value_or(QString()));
        item->setData(Qt::AccessibleDescriptionRole, command.isEnabled ? QString() : tr("unavailable"));
    }
    const bool empty = m_shown.isEmpty();
    m_list->setVisible(!empty);
    m_empty->setVisible(empty);
    const int rowHeight = m_list->sizeHintForRow(0);
    m_list->setFixedHeight(empty ? 0 : std::min(maximumListHeight, rowHeight * int(m_shown.size()) + 2));
    place();
}

void CommandPaletteView::select(qsizetype index) {
    m_selected = index;
    for (int row = 0; row < m_list->count(); ++row)
        m_list->item(row)->setData(highlightedRole, row == index);
    if (index >= 0 && index < m_list->count())
        m_list->scrollToItem(m_list->item(int(index)));
}

void CommandPaletteView::place() {
    if (!parentWidget())
        return;
    setGeometry(parentWidget()->rect());
    m_card->adjustSize();
    m_card->move((width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
}

bool CommandPaletteView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    if (watched != m_search)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Ctrl+K deletes to the line's end in a text field; here it is the
        // window's shortcut that closes the palette.
        auto* key = static_cast<QKeyEvent*>(event);
        const QAction* toggle = m_registry ? m_registry->action(Commands::showCommandPalette) : nullptr;
        if (toggle && QKeySequence(key->keyCombination()) == toggle->shortcut()) {
            event->ignore();
            return true;
        }
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Down:
        select(Palette::moved(m_shown, m_selected, 1));
        return true;
    case Qt::Key_Up:
        select(Palette::moved(m_shown, m_selected, -1));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        runCommand(m_selected);
        return true;
    case Qt::Key_Escape:
        emit dismissed();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// A click on the dimmed layer, outside the card.
void CommandPaletteView::mousePressEvent(QMouseEvent* event) {
    if (!m_card->geometry().contains(event->position().toPoint()))
        emit dismissed();
}

void CommandPaletteView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 77));
}

// The search field takes the focus once the palette is on screen.
void CommandPaletteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    place();
    raise();
    QTimer::singleShot(0, m_search, [search = QPointer<QLineEdit>(m_search)] {
        if (search)
            search->setFocus(Qt::PopupFocusReason);
    });
}
