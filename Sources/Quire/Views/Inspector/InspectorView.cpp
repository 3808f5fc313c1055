#include "Quire/Views/Inspector/InspectorView.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Artwork/ArtworkPanel.h"
#include "Quire/Views/Common/Symbols.h"
#include "Quire/Views/Inspector/CustomItemsSection.h"
#include "Quire/Views/Inspector/FieldRows.h"
#include "Quire/Views/Inspector/TagFieldEditors.h"

#include <QActionGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QSettings>
#include <QShowEvent>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString layoutKey = QStringLiteral("inspector/layout");

// The built-in layout saved by its id; the standard one for anything else.
InspectorLayout savedLayout() {
    const QUuid id(QSettings().value(layoutKey).toString());
    for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
        if (layout.id == id)
            return layout;
    }
    return InspectorLayout::standard();
}

QFont scaledFont(const QFont& base, qreal factor, bool bold = false) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

// One line, shortened in the middle to the width it gets, with the whole text as its tooltip.
class MiddleElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString& text) {
        m_full = text;
        setToolTip(text);
        elide();
    }
    QSize minimumSizeHint() const override { return {20, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(m_full) + 2, QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(m_full, Qt::ElideMiddle, std::max(0, width()))); }
    QString m_full;
};

// A rounded panel in the control background colour with a faint shadow.
class Card : public QWidget {
public:
    explicit Card(const QString& title, QWidget* parent)
        : QWidget(parent) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(12, 12, 12, 13);
        layout->setSpacing(12);
        auto* header = new QLabel(title, this);
        header->setFont(scaledFont(font(), 0.95, true));
        header->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(header);
    }
    QVBoxLayout* body() const { return static_cast<QVBoxLayout*>(layout()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 15)); // black at 6 %
        painter.drawRoundedRect(area.translated(0, 1), 8, 8);
        // On a dark palette a raised surface is lighter than the window, and the boxes on it (in the
        // field colour) then stand out from it as they do from a light card.
        const QColor window = palette().color(QPalette::Window);
        painter.setBrush(window.lightness() < 128 ? window.lighter(130) : palette().color(QPalette::Base));
        painter.drawRoundedRect(area, 8, 8);
    }
};

} // namespace

InspectorView::InspectorView(DocumentViewModel* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_layout(savedLayout()) {
    setObjectName(QStringLiteral("inspector"));
    m_placeholder = buildPlaceholder();

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(16);
    column->addWidget(buildHeader());
    m_readInPart = buildReadInPartNote();
    m_readInPart->setParent(content);
    column->addWidget(m_readInPart);
    m_artworkPanel = new ArtworkPanel(document, content);
    column->addWidget(m_artworkPanel);
    auto* tags = new Card(tr("Tags"), content);
    m_tagsCard = tags;
    m_rowsLayout = tags->body();
    column->addWidget(m_tagsCard);
    auto* others = new Card(tr("Other Fields"), content);
    m_customItems = new CustomItemsSection(document, others);
    others->body()->addWidget(m_customItems);
    column->addWidget(others);
    m_audioCard = buildAudioCard();
    m_audioCard->setParent(content);
    column->addWidget(m_audioCard);
    column->addStretch(1);

    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(content);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab goes from field to field; the scrolled pane itself is no stop.
    m_scroll->setFocusPolicy(Qt::NoFocus);

    m_stack = new QStackedLayout(this);
    m_stack->addWidget(m_placeholder);
    m_stack->addWidget(m_scroll);

    connect(document, &DocumentViewModel::selectedFilesChanged, this, &InspectorView::refreshSelection);
    connect(document, &DocumentViewModel::filesChanged, this, &InspectorView::refreshSelection);
    connect(document, &DocumentViewModel::editStateChanged, this, &InspectorView::watchEditState);
    rebuildRows();
    refreshLayoutMenu();
    watchEditState();
    refreshSelection();
}

void InspectorView::setCurrentLayout(const InspectorLayout& layout) {
    if (layout == m_layout)
        return;
    m_layout = layout;
    QSettings().setValue(layoutKey, layout.id.toString());
    rebuildRows();
    refreshLayoutMenu();
}

QWidget* InspectorView::buildPlaceholder() {
    auto* placeholder = new QWidget(this);
    auto* symbol = new QLabel(placeholder);
    symbol->setPixmap(Symbols::icon(QStringLiteral("tag")).pixmap(28, 28, QIcon::Disabled));
    symbol->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(tr("No Selection"), placeholder);
    title->setFont(scaledFont(font(), 1.15, true));
    title->setAlignment(Qt::AlignCenter);
    auto* line = new QLabel(tr("Select a file to edit its tags."), placeholder);
    line->setForegroundRole(QPalette::PlaceholderText);
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    auto* hint = new QLabel(
        tr("%1 selects all").arg(QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText)),
        placeholder);
    hint->setFont(scaledFont(font(), 0.85));
    hint->setForegroundRole(QPalette::PlaceholderText);
    hint->setAlignment(Qt::AlignCenter);
    hint->setObjectName(QStringLiteral("selectAllHint"));

    auto* inner = new QWidget(placeholder);
    inner->setFixedWidth(220);
    auto* innerLayout = new QVBoxLayout(inner);
    innerLayout->setContentsMargins(0, 0, 0, 0);
    innerLayout->setSpacing(6);
    innerLayout->addWidget(symbol);
    innerLayout->addWidget(title);
    innerLayout->addWidget(line);
    innerLayout->addWidget(hint);
    auto* layout = new QVBoxLayout(placeholder);
    layout->setContentsMargins(28, 0, 28, 0);
    layout->addStretch(1);
    layout->addWidget(inner, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return placeholder;
}

QWidget* InspectorView::buildHeader() {
    auto* header = new QWidget(this);
    auto* title = new MiddleElidedLabel(header);
    title->setFont(scaledFont(font(), 1.0, true));
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title = title;
    m_subtitle = new QLabel(header);
    m_subtitle->setFont(scaledFont(font(), 0.85));
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);

    m_layoutButton = new QToolButton(header);
    m_layoutButton->setPopupMode(QToolButton::InstantPopup);
    m_layoutButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_layoutButton->setAutoRaise(true);
    m_layoutButton->setFont(scaledFont(font(), 0.85));
    m_layoutButton->setIconSize(QSize(14, 14));
    m_layoutButton->setToolTip(tr("Inspector layout"));
    m_layoutButton->setAccessibleName(tr("Inspector layout"));
    m_layoutButton->setMenu(new QMenu(m_layoutButton));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(m_title);
    texts->addWidget(m_subtitle);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addLayout(texts, 1);
    row->addWidget(m_layoutButton, 0, Qt::AlignTop);
    return header;
}

// Says plainly why saves of a file may be refused, before anyone edits it.
QWidget* InspectorView::buildReadInPartNote() {
    auto* note = new QFrame(this);
    note->setFrameShape(QFrame::StyledPanel);
    auto* icon = new QLabel(note);
    icon->setPixmap(Symbols::icon(QStringLiteral("exclamationmark.triangle")).pixmap(16, 16));
    m_readInPartText = new QLabel(note);
    m_readInPartText->setWordWrap(true);
    m_readInPartText->setFont(scaledFont(font(), 0.85));
    auto* row = new QHBoxLayout(note);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(8);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(m_readInPartText, 1);
    note->hide();
    return note;
}

QWidget* InspectorView::buildAudioCard() {
    auto* card = new Card(tr("Audio"), this);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(6);
    const QFont caption = scaledFont(font(), 0.85);
    QFont numbers = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    numbers.setPointSizeF(caption.pointSizeF());
    const QStringList labels = {tr("Duration"), tr("Bitrate"), tr("Sample Rate"), tr("Channels"),
                                tr("Codec")};
    for (int i = 0; i < labels.size(); ++i) {
        auto* name = new QLabel(labels[i], card);
        name->setFont(caption);
        name->setForegroundRole(QPalette::PlaceholderText);
        auto* value = new QLabel(card);
        value->setFont(numbers);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(name, i, 0);
        grid->addWidget(value, i, 1);
        m_audioValues.append({labels[i], value});
    }
    card->body()->addLayout(grid);
    return card;
}

void InspectorView::watchEditState() {
    disconnect(m_editStateConnection);
    disconnect(m_customConnection);
    if (!m_document)
        return;
    m_editStateConnection =
        connect(m_document->editState(), &EditableTagSet::fieldChanged, this, &InspectorView::showField);
    m_customConnection = connect(m_document->editState(), &EditableTagSet::customItemsChanged, this,
                                 &InspectorView::showCustomItems);
    showAllFields();
}

void InspectorView::rebuildRows() {
    // Everything below the card's header goes; the header stays.
    for (const QList<TagFieldBox*>& row : std::as_const(m_rows)) {
        for (TagFieldBox* box : row)
            delete box;
    }
    while (m_rowsLayout->count() > 1)
        delete m_rowsLayout->takeAt(1);
    m_rows.clear();
    for (const QList<FieldConfig>& configs : fieldRows(m_layout.fields)) {
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        QList<TagFieldBox*> row;
        for (const FieldConfig& config : configs) {
            auto* box = new TagFieldBox(m_document, config, m_tagsCard);
            line->addWidget(box, 1, Qt::AlignTop);
            row.append(box);
        }
        m_rowsLayout->addLayout(line);
        m_rows.append(row);
    }
    QStringList shown;
    for (const FieldConfig& config : std::as_const(m_layout.fields)) {
        if (config.field.isCustom())
            shown.append(config.field.customName());
    }
    m_customItems->setShownElsewhere(shown);
    showAllFields();
}

void InspectorView::refreshLayoutMenu() {
    const InspectorLayout& current = m_layout;
    m_layoutButton->setText(current.name);
    m_layoutButton->setIcon(Symbols::icon(current.icon));
    QMenu* menu = m_layoutButton->menu();
    // The items are made once: one of them may be what is being chosen right now.
    // Radio items: the style marks the current one as the desktop's menus do.
    if (menu->isEmpty()) {
        auto* group = new QActionGroup(menu);
        for (const InspectorLayout& layout : InspectorLayout::allBuiltIns()) {
            QAction* action =
                menu->addAction(layout.name, this, [this, layout] { setCurrentLayout(layout); });
            action->setData(layout.id);
            action->setCheckable(true);
            group->addAction(action);
        }
    }
    for (QAction* action : menu->actions())
        action->setChecked(action->data().toUuid() == current.id);
}

void InspectorView::refreshSelection() {
    if (!m_document)
        return;
    const QList<AudioFile> selected = m_document->selectedAudioFiles();
    m_stack->setCurrentWidget(selected.isEmpty() ? m_placeholder : static_cast<QWidget*>(m_scroll));
    if (selected.isEmpty())
        return;

    if (selected.size() == 1) {
        const AudioFile& file = selected.first();
        m_fullTitle = file.filenameWithoutExtension();
        m_subtitle->setText(displayName(file.format()) + QStringLiteral(" · ") +
                            file.properties().formattedDuration());
    } else {
        m_fullTitle = tr("%n Files Selected", nullptr, int(selected.size()));
        const auto modified = std::count_if(selected.begin(), selected.end(),
                                            [](const AudioFile& file) { return file.isModified(); });
        m_subtitle->setText(modified > 0 ? tr("%n with unsaved changes", nullptr, int(modified))
                                         : tr("No unsaved changes"));
    }
    static_cast<MiddleElidedLabel*>(m_title)->setFullText(m_fullTitle);

    const auto readInPart = std::count_if(selected.begin(), selected.end(),
                                          [](const AudioFile& file) { return file.isReadInPart(); });
    m_readInPart->setVisible(readInPart > 0);
    if (selected.size() == 1) {
        m_readInPartText->setText(tr("Some of this file's tags are damaged and could be read only in part. "
                                     "Saving it is refused where that would lose the damaged part."));
    } else if (readInPart == 1) {
        m_readInPartText->setText(tr("One of the selected files has damaged tags that could be read only in "
                                     "part. Saving it is refused where that would lose the damaged part."));
    } else {
        m_readInPartText->setText(tr("%n of the selected files have damaged tags that could be read only in "
                                     "part. Saving them is refused where that would lose the damaged part.",
                                     nullptr, int(readInPart)));
    }

    const std::optional<AudioProperties> properties = m_document->firstSelectedProperties();
    const bool showAudio = selected.size() == 1 && properties.has_value();
    m_audioCard->setVisible(showAudio);
    if (showAudio) {
        const QStringList values = {properties->formattedDuration(), properties->formattedBitrate(),
                                    properties->formattedSampleRate(), properties->formattedChannels(),
                                    properties->codec};
        for (qsizetype i = 0; i < m_audioValues.size(); ++i)
            m_audioValues[i].second->setText(values[i]);
    }
}

void InspectorView::showField(TagField field) {
    if (!m_document)
        return;
    for (const QList<TagFieldBox*>& row : std::as_const(m_rows)) {
        for (TagFieldBox* box : row) {
            if (box->config().field == field)
                box->showState(m_document->editState());
        }
    }
}

void InspectorView::showAllFields() {
    if (!m_document)
        return;
    for (const QList<TagFieldBox*>& row : std::as_const(m_rows)) {
        for (TagFieldBox* box : row)
            box->showState(m_document->editState());
    }
    m_customItems->showState(m_document->editState());
}

void InspectorView::showCustomItems() {
    if (!m_document)
        return;
    for (const QList<TagFieldBox*>& row : std::as_const(m_rows)) {
        for (TagFieldBox* box : row) {
            if (box->config().field.isCustom())
                box->showState(m_document->editState());
        }
    }
    m_customItems->showState(m_document->editState());
}

QString InspectorView::readInPartNote() const {
    return m_readInPart->isHidden() ? QString() : m_readInPartText->text();
}

bool InspectorView::showsPlaceholder() const {
    return m_stack->currentWidget() == m_placeholder;
}

QString InspectorView::titleText() const {
    return m_fullTitle;
}

QString InspectorView::subtitleText() const {
    return m_subtitle->text();
}

QString InspectorView::audioValue(const QString& label) const {
    for (const auto& [name, value] : m_audioValues) {
        if (name == label)
            return m_audioCard->isHidden() ? QString() : value->text();
    }
    return {};
}

TagFieldBox* InspectorView::box(const FieldKey& field) const {
    for (const QList<TagFieldBox*>& row : m_rows) {
        for (TagFieldBox* box : row) {
            if (box->config().field == field)
                return box;
        }
    }
    return nullptr;
}
