#include "Quire/Views/FileList/FileFilterBar.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/Fonts.h"
#include "Quire/Views/Common/Symbols.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

FileFilterBar::FileFilterBar(DocumentViewModel* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_field(new QLineEdit(this))
    , m_count(new QLabel(this)) {
    m_field->setPlaceholderText(tr("Filter"));
    m_field->setAccessibleName(tr("Filter files"));
    m_field->setToolTip(tr("Show only the files whose tags or names contain every word typed; "
                           "“artist:name” looks in one field"));
    m_field->setClearButtonEnabled(true);
    // The field's buttons take their names from their actions, for screen readers.
    if (auto* clear = m_field->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction")))
        clear->setText(tr("Clear filter"));
    m_field->addAction(Symbols::icon(QStringLiteral("magnifyingglass")), QLineEdit::LeadingPosition)
        ->setText(tr("Filter"));
    m_field->installEventFilter(this);
    m_count->setFont(captionFont(font()));
    m_count->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 12, 6);
    layout->setSpacing(12);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_count);

    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_document)
            m_document->setFilterText(text);
    });
    connect(document, &DocumentViewModel::filterChanged, this, [this] {
        if (m_document && m_field->text() != m_document->filterText())
            m_field->setText(m_document->filterText());
        refresh();
    });
    connect(document, &DocumentViewModel::filesChanged, this, &FileFilterBar::refresh);
    refresh();
}

QString FileFilterBar::countText() const {
    return m_count->isHidden() ? QString() : m_count->text();
}

void FileFilterBar::focusField() {
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FileFilterBar::refresh() {
    if (!m_document)
        return;
    const bool filtering = m_document->isFiltering();
    m_count->setVisible(filtering);
    if (filtering)
        m_count->setText(
            tr("%1 of %n files", nullptr, int(m_document->files().size())).arg(m_document->shownCount()));
}

bool FileFilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            if (m_field->text().isEmpty())
                emit leaveRequested();
            else
                m_field->clear();
            return true;
        }
        // Down goes on into the list, as from a search box to its results.
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
            emit leaveRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
