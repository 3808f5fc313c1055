#include "Quire/Views/Inspector/TagFieldEditors.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/EditableTagSet.h"
#include "Quire/Views/Common/Fonts.h"
#include "Quire/Views/Common/Symbols.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

bool isHistoryShortcut(QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo);
}

// A custom item holds any text.
FieldComponent componentOf(const FieldKey& key) {
    return key.field() ? component(*key.field()) : FieldComponent::text;
}

} // namespace

bool TagLineEdit::event(QEvent* event) {
    if (isHistoryShortcut(event)) {
        event->ignore(); // not ours: the window's Undo and Redo take it
        return true;
    }
    return QLineEdit::event(event);
}

MultilineTagEditor::MultilineTagEditor(QWidget* parent)
    : QWidget(parent)
    , m_edit(new QPlainTextEdit(this)) {
    m_edit->setFrameShape(QFrame::NoFrame);
    m_edit->setTabChangesFocus(true);
    m_edit->viewport()->setAutoFillBackground(false);
    m_edit->setAutoFillBackground(false);
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_edit->document()->setDocumentMargin(0);
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5); // 3 and 4 inside the 1.5-point outline
    layout->addWidget(m_edit);
    connect(m_edit, &QPlainTextEdit::textChanged, this, [this] {
        fitHeight();
        if (!m_applying)
            emit textEdited(m_edit->toPlainText());
    });
    fitHeight();
}

QString MultilineTagEditor::text() const {
    return m_edit->toPlainText();
}

void MultilineTagEditor::setText(const QString& text) {
    if (text == m_edit->toPlainText())
        return;
    const int position = m_edit->textCursor().position();
    m_applying = true;
    m_edit->setPlainText(text);
    m_applying = false;
    QTextCursor cursor = m_edit->textCursor();
    cursor.setPosition(std::min<int>(position, int(text.size())));
    m_edit->setTextCursor(cursor);
}

void MultilineTagEditor::setPlaceholder(const QString& placeholder) {
    m_edit->setPlaceholderText(placeholder);
}

QString MultilineTagEditor::placeholder() const {
    return m_edit->placeholderText();
}

void MultilineTagEditor::fitHeight() {
    const int lines = std::max(1, m_edit->document()->lineCount());
    const int textHeight = lines * m_edit->fontMetrics().lineSpacing();
    setFixedHeight(std::clamp(textHeight + 14, 56, 104));
}

void MultilineTagEditor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool focused = m_edit->hasFocus();
    const qreal width = focused ? 1.5 : 1;
    painter.setBrush(palette().color(QPalette::Base));
    painter.setPen(QPen(palette().color(focused ? QPalette::Highlight : QPalette::Mid), width));
    painter.drawRoundedRect(QRectF(rect()).adjusted(width / 2, width / 2, -width / 2, -width / 2), 6, 6);
}

bool MultilineTagEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit) {
        if (isHistoryShortcut(event)) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update(); // the outline follows the focus
    }
    return QWidget::eventFilter(watched, event);
}

TagFieldBox::TagFieldBox(DocumentViewModel* document, const FieldConfig& config, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_config(config) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    // Below the editor: why typed text was refused.
    m_error = new QLabel(this);
    m_error->setFont(captionFont(font()));
    m_error->setWordWrap(true);
    QPalette errorColours = m_error->palette();
    errorColours.setColor(QPalette::WindowText, QColor(220, 60, 60)); // reads on light and dark backgrounds
    m_error->setPalette(errorColours);
    m_error->hide();

    if (config.field == TagField::compilation) {
        layout->addSpacing(14);
        auto* row = new QHBoxLayout;
        m_checkBox = new QCheckBox(config.label, this);
        m_variesNote = new QLabel(tr("Multiple values"), this);
        m_variesNote->setFont(captionFont(font()));
        m_variesNote->setForegroundRole(QPalette::PlaceholderText);
        row->addWidget(m_checkBox);
        row->addWidget(m_variesNote);
        row->addStretch(1);
        layout->addLayout(row);
        connect(m_checkBox, &QCheckBox::clicked, this,
                [this](bool checked) { commit(checked ? QStringLiteral("1") : QStringLiteral("0")); });
        return;
    }

    m_label = new QLabel(config.label, this);
    m_label->setFont(captionFont(font()));
    m_label->setForegroundRole(QPalette::PlaceholderText);
    m_valueCount = new QLabel(this);
    m_valueCount->setFont(captionFont(font()));
    m_valueCount->setForegroundRole(QPalette::PlaceholderText);
    m_valueCount->hide();
    auto* caption = new QHBoxLayout;
    caption->setSpacing(6);
    caption->addWidget(m_label);
    caption->addStretch(1);
    caption->addWidget(m_valueCount);
    layout->addLayout(caption);
    if (config.field == TagField::comment || config.field == TagField::lyrics) {
        m_multiline = new MultilineTagEditor(this);
        m_multiline->textEdit()->setAccessibleName(config.label);
        m_label->setBuddy(m_multiline->textEdit());
        layout->addWidget(m_multiline);
        connect(m_multiline, &MultilineTagEditor::textEdited, this, &TagFieldBox::commit);
    } else {
        m_line = new TagLineEdit(this);
        m_line->setAccessibleName(config.label);
        m_label->setBuddy(m_line);
        layout->addWidget(m_line);
        if (componentOf(config.field) == FieldComponent::text) {
            connect(m_line, &QLineEdit::textEdited, this, &TagFieldBox::commit);
        } else {
            m_textMark = m_line->addAction(Symbols::icon(QStringLiteral("exclamationmark.triangle")),
                                           QLineEdit::TrailingPosition);
            m_textMark->setToolTip(tr("Not a number: kept as stored until you type over it"));
            m_textMark->setVisible(false);
            // Numbers are checked when the typing is done: "19" on the way to
            // "1973" is no edit. Return, leaving the box or a save commits.
            connect(m_line, &QLineEdit::textEdited, this, [this] { m_pending = true; });
            connect(m_line, &QLineEdit::editingFinished, this, &TagFieldBox::commitPending);
            if (document)
                connect(document, &DocumentViewModel::aboutToSave, this, &TagFieldBox::commitPending);
        }
    }
    layout->addWidget(m_error);
    layout->addStretch(1);
}

QString TagFieldBox::label() const {
    return m_config.label;
}

QString TagFieldBox::text() const {
    if (m_line)
        return m_line->text();
    if (m_multiline)
        return m_multiline->text();
    return m_checkBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

QString TagFieldBox::placeholder() const {
    if (m_line)
        return m_line->placeholderText();
    if (m_multiline)
        return m_multiline->placeholder();
    return {};
}

QWidget* TagFieldBox::editor() const {
    if (m_line)
        return m_line;
    if (m_multiline)
        return m_multiline->textEdit();
    return m_checkBox;
}

void TagFieldBox::commitPending() {
    if (m_pending && m_line)
        commit(m_line->text());
}

void TagFieldBox::commit(const QString& text) {
    m_pending = false;
    if (!m_document)
        return;
    const Result<bool, QString> edited = m_document->editField(m_config.field, text);
    if (edited)
        return;
    // Refused text never stays in the box: it shows what the files hold, and why the text was refused.
    showState(m_document->editState());
    m_error->setText(edited.error());
    m_error->show();
    showToolTip();
}

bool TagFieldBox::marksTextForNumber() const {
    return m_textMark && m_textMark->isVisible();
}

QString TagFieldBox::valueCountText() const {
    return m_valueCount && !m_valueCount->isHidden() ? m_valueCount->text() : QString();
}

// Why typed text was refused, else what the mark and the value count say.
void TagFieldBox::showToolTip() {
    QStringList lines;
    if (!m_error->isHidden()) {
        lines.append(m_error->text());
    } else {
        if (marksTextForNumber())
            lines.append(m_textMark->toolTip());
        if (!valueCountText().isEmpty())
            lines.append(TagSet::splitValues(text()));
    }
    if (QWidget* box = editor(); box != m_checkBox)
        box->setToolTip(lines.join(u'\n'));
}

QString TagFieldBox::errorText() const {
    return m_error->isHidden() ? QString() : m_error->text();
}

// What the files hold now replaces any refusal shown before.
void TagFieldBox::showState(const EditableTagSet* state) {
    if (!state)
        return;
    m_error->hide();
    const FieldKey& field = m_config.field;
    if (m_checkBox) {
        m_checkBox->setChecked(state->compilation());
        m_variesNote->setVisible(state->compilationVaries());
        return;
    }
    const QString placeholder = state->varies(field) ? tr("Multiple values") : m_config.label;
    const QString text = state->stringValue(field);
    if (m_line) {
        m_pending = false;
        m_line->setPlaceholderText(placeholder);
        if (m_line->text() != text) {
            const int position = m_line->cursorPosition();
            m_line->setText(text);
            // A value longer than the box shows its beginning, not its end, until it is edited.
            m_line->setCursorPosition(m_line->hasFocus() ? std::min<int>(position, int(text.size())) : 0);
        }
        if (m_textMark)
            m_textMark->setVisible(state->holdsTextForNumber(*field.field()));
    } else {
        m_multiline->setPlaceholder(placeholder);
        m_multiline->setText(text);
    }
    // A comment and lyrics are prose: their "; " does not split them.
    const qsizetype values = m_line && !text.isEmpty() ? TagSet::splitValues(text).size() : 0;
    m_valueCount->setText(tr("%n values", nullptr, int(values)));
    m_valueCount->setVisible(values > 1);
    showToolTip();
}
