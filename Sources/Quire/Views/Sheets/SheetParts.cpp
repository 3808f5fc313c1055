#include "Quire/Views/Sheets/SheetParts.h"

#include "Quire/ViewModels/TextTransform.h"
#include "Quire/Views/Common/FileChooser.h"
#include "Quire/Views/Common/ProminentButton.h"
#include "Quire/Views/Common/Symbols.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont smallFont(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

// A field's toggle: its name on a rounded background in the accent
// colour while chosen, no background otherwise.
class Chip : public QAbstractButton {
public:
    Chip(const QString& text, QWidget* parent)
        : QAbstractButton(parent) {
        setText(text);
        setCheckable(true);
        setFont(smallFont(font()));
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(text);
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(text()) + 16, metrics.height() + 8};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor accent = palette().color(QPalette::Highlight);
        if (isChecked()) {
            accent.setAlphaF(0.25);
            painter.setPen(Qt::NoPen);
            painter.setBrush(accent);
            painter.drawRoundedRect(area, 6, 6);
        }
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        }
        painter.setPen(palette().color(isEnabled() ? QPalette::WindowText : QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

// Lays its items out in rows, left to right, starting a new row when the
// next item does not fit; the height follows the width.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent)
        : QLayout(parent) {
        setContentsMargins(0, 0, 0, 0);
        setSpacing(4);
    }
    ~FlowLayout() override {
        while (QLayoutItem* item = takeAt(0))
            delete item;
    }

    void addItem(QLayoutItem* item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSize() const override {
        QSize size;
        for (const QLayoutItem* item : m_items)
            size = size.expandedTo(item->minimumSize());
        return size;
    }

private:
    int arrange(const QRect& rect, bool place) const {
        int x = rect.x();
        int y = rect.y();
        int rowHeight = 0;
        for (QLayoutItem* item : m_items) {
            const QSize size = item->sizeHint();
            if (x + size.width() > rect.right() + 1 && rowHeight > 0) {
                x = rect.x();
                y += rowHeight + spacing();
                rowHeight = 0;
            }
            if (place)
                item->setGeometry(QRect(QPoint(x, y), size));
            x += size.width() + spacing();
            rowHeight = std::max(rowHeight, size.height());
        }
        return y + rowHeight - rect.y();
    }

    QList<QLayoutItem*> m_items;
};

} // namespace

QLabel* SheetParts::secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(smallFont(label->font()));
    label->setWordWrap(true);
    setTone(label, Tone::secondary);
    return label;
}

QLabel* SheetParts::monospacedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(smallFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* SheetParts::sectionCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = smallFont(label->font());
    font.setBold(true);
    label->setFont(font);
    return label;
}

void SheetParts::setTone(QLabel* label, Tone tone) {
    QPalette palette = label->palette();
    switch (tone) {
    case Tone::success:
        palette.setColor(QPalette::WindowText, QColor(40, 167, 69));
        break;
    case Tone::warning:
        palette.setColor(QPalette::WindowText, QColor(255, 149, 0));
        break;
    case Tone::failure:
        palette.setColor(QPalette::WindowText, QColor(220, 53, 69));
        break;
    case Tone::secondary:
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        break;
    }
    label->setPalette(palette);
}

QList<FieldKey> SheetParts::textFieldsAndCustomItems(const QList<AudioFile>& files) {
    const QList<TagField> text = textTagFields();
    QList<FieldKey> keys(text.begin(), text.end());
    QList<TagSet> sets;
    sets.reserve(files.size());
    for (const AudioFile& file : files)
        sets.append(file.tags());
    for (const QString& name : TagSet::customNames(sets))
        keys.append(FieldKey::custom(name));
    return keys;
}

Sheet::Sheet(const QString& title, const QString& dismissText, const QString& primaryText, QSize frame,
             QWidget* parent)
    : QDialog(parent)
    , m_title(new QLabel(title, this))
    , m_description(SheetParts::secondaryLabel(QString(), this))
    , m_body(new QVBoxLayout)
    , m_resultRow(new QWidget(this))
    , m_resultIcon(new QLabel(m_resultRow))
    , m_result(new QLabel(m_resultRow))
    , m_details(new QPlainTextEdit(this))
    , m_dismiss(new QPushButton(dismissText, this))
    , m_primary(new ProminentButton(primaryText, this)) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(frame);
    setMinimumWidth(frame.width());

    QFont headline = m_title->font();
    headline.setBold(true);
    m_title->setFont(headline);
    m_description->hide();
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    m_body->setSpacing(8);
    m_result->setWordWrap(true);
    auto* resultLine = new QHBoxLayout(m_resultRow);
    resultLine->setContentsMargins(0, 0, 0, 0);
    resultLine->addWidget(m_resultIcon, 0, Qt::AlignTop);
    resultLine->addWidget(m_result, 1);
    m_resultRow->hide();
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_details->setMaximumHeight(110);
    m_details->setAccessibleName(tr("Files left alone"));
    m_details->hide();

    // Return presses the prominent button wherever the focus is.
    m_primary->setDefault(true);
    m_dismiss->setAutoDefault(false);
    connect(m_dismiss, &QPushButton::clicked, this, &QDialog::reject);
    // By role, so that the style puts them in the desktop's order.
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_dismiss, QDialogButtonBox::RejectRole);
    buttons->addButton(m_primary, QDialogButtonBox::AcceptRole);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    // The sheet grows with what it shows (previews, notes, a report) rather than squeezing it.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(m_title);
    layout->addWidget(m_description);
    layout->addWidget(divider);
    layout->addLayout(m_body);
    layout->addStretch();
    layout->addWidget(m_resultRow);
    layout->addWidget(m_details);
    layout->addWidget(buttons);
}

QString Sheet::titleText() const {
    return m_title->text();
}

QString Sheet::descriptionText() const {
    return m_description->text();
}

QString Sheet::resultText() const {
    return m_resultRow->isHidden() ? QString() : m_resultMessage;
}

namespace {
// The focusable widgets of a layout in layout order, which is the order in
// which they are seen, with those inside composite widgets in their place.
void collectFocusable(const QLayout* layout, QList<QWidget*>& found) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* widget = item->widget()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                found.append(widget);
            if (widget->layout())
                collectFocusable(widget->layout(), found);
        } else if (const QLayout* inner = item->layout()) {
            collectFocusable(inner, found);
        }
    }
}
} // namespace

void Sheet::showEvent(QShowEvent* event) {
    if (!m_focusArranged) {
        m_focusArranged = true;
        QList<QWidget*> chain;
        collectFocusable(layout(), chain);
        for (qsizetype i = 1; i < chain.size(); ++i)
            setTabOrder(chain[i - 1], chain[i]);
        if (!chain.isEmpty() && chain.first() != m_dismiss)
            chain.first()->setFocus(Qt::TabFocusReason);
        else
            m_primary->setFocus(Qt::TabFocusReason);
    }
    QDialog::showEvent(event);
}

bool Sheet::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::LayoutRequest)
        growToFit();
    return handled;
}

// Wrapped text and chips take the height their width needs, which the
// layout's minimum size does not count.
void Sheet::growToFit() {
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void Sheet::setDescription(const QString& text) {
    m_description->setText(text);
    m_description->setVisible(!text.isEmpty());
}

void Sheet::addSection(const QString& caption, const QList<QWidget*>& widgets) {
    auto* section = new QVBoxLayout;
    section->setSpacing(4);
    section->addWidget(SheetParts::sectionCaption(caption, this));
    for (QWidget* widget : widgets)
        section->addWidget(widget);
    m_body->addLayout(section);
}

QStringList Sheet::resultDetails() const {
    return m_details->isHidden() ? QStringList() : m_details->toPlainText().split(u'\n');
}

void Sheet::closeOrListSkipped(const BatchReport& report) {
    if (report.skipped.isEmpty()) {
        accept();
        return;
    }
    showResult(
        tr("⚠️ Filled tags in %1 of %n files; these were skipped:", nullptr, int(report.fileCount()))
            .arg(report.changed),
        SheetParts::Tone::warning, report.skippedLines());
}

void Sheet::showResult(const QString& text, SheetParts::Tone tone, const QStringList& details) {
    // The messages lead with a coloured emoji that the desktop's fonts may lack: an icon says it instead.
    QString shown = text;
    QString symbol;
    for (const auto& [mark, name] :
         {std::pair{QStringLiteral("✅"), QStringLiteral("checkmark.circle")},
          std::pair{QStringLiteral("⚠️"), QStringLiteral("exclamationmark.triangle")},
          std::pair{QStringLiteral("⚠"), QStringLiteral("exclamationmark.triangle")}}) {
        if (shown.startsWith(mark)) {
            shown = shown.mid(mark.size()).trimmed();
            symbol = name;
            break;
        }
    }
    m_resultMessage = text;
    const int side = m_result->fontMetrics().height();
    m_resultIcon->setPixmap(symbol.isEmpty() ? QPixmap() : Symbols::icon(symbol).pixmap(side, side));
    m_resultIcon->setVisible(!symbol.isEmpty());
    m_result->setText(shown);
    SheetParts::setTone(m_result, tone);
    m_resultRow->show();
    m_details->setPlainText(details.join(u'\n'));
    m_details->setVisible(!details.isEmpty());
    // What was done stays done: closing the sheet cancels nothing.
    m_dismiss->setText(tr("Close"));
}

FieldChips::FieldChips(const QList<FieldKey>& offered, const FieldKeySet& chosen, QWidget* parent)
    : QWidget(parent)
    , m_chosen(chosen)
    , m_fields(offered) {
    auto* layout = new FlowLayout(this);
    for (const FieldKey& field : offered) {
        auto* chip = new Chip(field.displayName(), this);
        chip->setChecked(chosen.contains(field));
        connect(chip, &QAbstractButton::toggled, this, [this, field](bool on) {
            if (on)
                m_chosen.insert(field);
            else
                m_chosen.remove(field);
            emit chosenChanged();
        });
        layout->addWidget(chip);
        m_chips.append(chip);
    }
}

QAbstractButton* FieldChips::chip(const FieldKey& field) const {
    const qsizetype index = m_fields.indexOf(field);
    return index < 0 ? nullptr : m_chips[index];
}

FolderChoice::FolderChoice(const QString& caption, QWidget* parent)
    : QWidget(parent)
    , m_path(new QLabel(this))
    , m_choose(new QPushButton(tr("Choose…"), this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(caption, this));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_path, 1);
    layout->addWidget(m_choose);
    m_choose->setAutoDefault(false);
    m_choose->setAccessibleName(caption + QStringLiteral(" ") + tr("Choose…"));
}

void FolderChoice::setFolder(const QUrl& folder) {
    m_folder = folder;
    m_path->setText(folder.toLocalFile());
    m_path->setToolTip(folder.toLocalFile());
    emit folderChanged();
}

QString FolderChoice::shownPath() const {
    return m_path->text();
}

QFileDialog* FolderChoice::openChooser(bool allowNewFolders, const QString& confirmText) {
    auto* chooser = new QFileDialog(window());
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    // A read-only chooser offers no "New Folder".
    chooser->setOption(QFileDialog::ReadOnly, !allowNewFolders);
    if (!confirmText.isEmpty())
        chooser->setLabelText(QFileDialog::Accept, confirmText);
    if (!m_folder.isEmpty())
        chooser->setDirectoryUrl(m_folder);
    whenChosen(chooser, this, [this](const QUrl& folder) { setFolder(folder); });
    chooser->open();
    return chooser;
}

PreviewList::PreviewList(QWidget* parent)
    : QWidget(parent)
    , m_rows(new QGridLayout)
    , m_summary(SheetParts::secondaryLabel(QString(), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setHorizontalSpacing(8);
    m_rows->setVerticalSpacing(2);
    m_rows->setColumnStretch(1, 1);
    layout->addLayout(m_rows);
    layout->addWidget(m_summary);
    m_summary->setAccessibleName(tr("Preview summary"));
}

void PreviewList::setPreview(const BatchPreview& preview) {
    if (preview == m_shown && m_rows->count() > 0)
        return;
    m_shown = preview;
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    using Status = PreviewLine::Status;
    for (int row = 0; row < preview.lines.size(); ++row) {
        const PreviewLine& line = preview.lines[row];
        auto* name = SheetParts::monospacedLabel(line.filename, this);
        name->setMaximumWidth(180);
        name->setToolTip(line.filename);
        auto* text = SheetParts::monospacedLabel(shownText(line), this);
        text->setWordWrap(true);
        text->setAccessibleName(line.filename + u' ' + shownText(line));
        if (line.status == Status::skipped)
            SheetParts::setTone(text, SheetParts::Tone::warning);
        else if (line.status == Status::unchanged)
            SheetParts::setTone(text, SheetParts::Tone::secondary);
        m_rows->addWidget(name, row, 0, Qt::AlignTop);
        m_rows->addWidget(text, row, 1, Qt::AlignTop);
    }
    m_summary->setText(preview.summary);
    SheetParts::setTone(m_summary,
                        preview.skipped > 0 ? SheetParts::Tone::warning : SheetParts::Tone::secondary);
}

QString PreviewList::shownText(const PreviewLine& line) {
    return line.status == PreviewLine::Status::skipped ? tr("skipped: %1").arg(line.text) : line.text;
}

QStringList PreviewList::lines() const {
    QStringList lines;
    for (const PreviewLine& line : m_shown.lines)
        lines.append(line.filename + u' ' + shownText(line));
    return lines;
}

QString PreviewList::summary() const {
    return m_shown.summary;
}

QLabel* SheetParts::patternNote(QWidget* parent) {
    auto* note = SheetParts::secondaryLabel(QString(), parent);
    SheetParts::setTone(note, SheetParts::Tone::warning);
    note->hide();
    return note;
}

void SheetParts::showPatternNote(QLabel* note, const QString& text) {
    note->setText(text);
    note->setVisible(!text.isEmpty());
}
