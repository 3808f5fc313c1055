#include "Quire/Views/Inspector/CustomItemsSection.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/EditableTagSet.h"
#include "Quire/Views/Common/Fonts.h"
#include "Quire/Views/Common/Symbols.h"
#include "Quire/Views/Inspector/TagFieldEditors.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

CustomItemsSection::CustomItemsSection(DocumentViewModel* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setSpacing(12);
    layout->addLayout(m_rowsLayout);
    m_empty = new QLabel(tr("No other fields"), this);
    m_empty->setFont(captionFont(font()));
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_empty);
    m_add = new QPushButton(Symbols::icon(QStringLiteral("plus")), tr("Add Field…"), this);
    m_add->setToolTip(tr("Add a field by name to the selected files"));
    layout->addWidget(m_add, 0, Qt::AlignLeft);
    connect(m_add, &QPushButton::clicked, this, &CustomItemsSection::askForItem);
}

void CustomItemsSection::setShownElsewhere(const QStringList& names) {
    m_shownElsewhere = names;
    refresh();
}

void CustomItemsSection::showState(const EditableTagSet*) {
    refresh();
}

QStringList CustomItemsSection::names() const {
    QStringList names;
    for (const Row& row : m_rows)
        names.append(row.name);
    return names;
}

TagFieldBox* CustomItemsSection::box(const QString& name) const {
    for (const Row& row : m_rows) {
        if (row.name == name)
            return row.box;
    }
    return nullptr;
}

QToolButton* CustomItemsSection::removeButton(const QString& name) const {
    for (const Row& row : m_rows) {
        if (row.name == name)
            return row.remove;
    }
    return nullptr;
}

CustomItemsSection::Row CustomItemsSection::makeRow(const QString& name) {
    auto* widget = new QWidget(this);
    auto* line = new QHBoxLayout(widget);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    auto* box = new TagFieldBox(m_document, FieldConfig(FieldKey::custom(name), FieldWidth::full), widget);
    auto* button = new QToolButton(widget);
    button->setIcon(Symbols::icon(QStringLiteral("minus.circle")));
    button->setAutoRaise(true);
    button->setToolTip(tr("Remove %1 from the selected files").arg(name));
    button->setAccessibleName(tr("Remove %1").arg(name));
    line->addWidget(box, 1);
    line->addWidget(button, 0, Qt::AlignBottom); // beside the box, below its label
    connect(button, &QToolButton::clicked, this, [this, name] { remove(name); });
    // A box kept only for its focus goes when the focus does.
    if (auto* edit = qobject_cast<QLineEdit*>(box->editor())) {
        connect(edit, &QLineEdit::editingFinished, this, [this] {
            QMetaObject::invokeMethod(this, &CustomItemsSection::refresh, Qt::QueuedConnection);
        });
    }
    return {name, widget, box, button};
}

void CustomItemsSection::remove(const QString& name) {
    if (!m_document)
        return;
    for (const Row& row : std::as_const(m_rows)) {
        if (row.name == name && row.widget->isAncestorOf(focusWidget()))
            m_add->setFocus(); // the row goes
    }
    // Its own undo step, not part of typing just before.
    m_document->history().endMerge();
    m_document->editField(FieldKey::custom(name), QString());
    m_document->history().endMerge();
}

void CustomItemsSection::askForItem() {
    auto* dialog = new AddCustomItemDialog(m_document, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CustomItemsSection::refresh() {
    const EditableTagSet* state = m_document ? m_document->editState() : nullptr;
    if (!state)
        return;
    QStringList wanted;
    for (const QString& name : state->customNames()) {
        if (!m_shownElsewhere.contains(name))
            wanted.append(name);
    }
    for (const Row& row : std::as_const(m_rows)) {
        if (row.box->editor()->hasFocus() && !wanted.contains(row.name))
            wanted.append(row.name);
    }
    wanted.sort();

    if (names() != wanted) {
        QList<Row> rows;
        for (const QString& name : std::as_const(wanted)) {
            const auto kept =
                std::find_if(m_rows.begin(), m_rows.end(), [&](const Row& row) { return row.name == name; });
            if (kept != m_rows.end()) {
                rows.append(*kept);
                m_rows.erase(kept);
            } else {
                rows.append(makeRow(name));
            }
        }
        for (const Row& row : std::as_const(m_rows))
            delete row.widget;
        m_rows = rows;
        // Rows in name order, and Tab from each box to its remove button, to the next box, to Add.
        QWidget* previous = nullptr;
        for (const Row& row : std::as_const(m_rows)) {
            m_rowsLayout->removeWidget(row.widget);
            m_rowsLayout->addWidget(row.widget);
            row.widget->show(); // at once, not when the layout gets to it: it may take focus now
            if (previous)
                setTabOrder(previous, row.box->editor());
            setTabOrder(row.box->editor(), row.remove);
            previous = row.remove;
        }
        if (previous)
            setTabOrder(previous, m_add);
    }
    for (const Row& row : std::as_const(m_rows))
        row.box->showState(state);
    m_empty->setVisible(m_rows.isEmpty());
}

AddCustomItemDialog::AddCustomItemDialog(DocumentViewModel* document, QWidget* parent)
    : QDialog(parent)
    , m_document(document)
    , m_name(new QLineEdit(this))
    , m_value(new QLineEdit(this))
    , m_error(new QLabel(this)) {
    setWindowTitle(tr("Add Field"));
    auto* intro =
        new QLabel(tr("Adds a field by name, such as CATALOGNUMBER or MOOD, to every selected file."), this);
    intro->setWordWrap(true);
    m_name->setAccessibleName(tr("Name"));
    m_name->setPlaceholderText(tr("CATALOGNUMBER"));
    m_value->setAccessibleName(tr("Value"));
    m_error->setWordWrap(true);
    m_error->setFont(captionFont(font()));
    QPalette errorColours = m_error->palette();
    errorColours.setColor(QPalette::WindowText, QColor(220, 60, 60)); // reads on light and dark backgrounds
    m_error->setPalette(errorColours);
    m_error->hide();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_add = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    m_add->setDefault(true);
    m_add->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddCustomItemDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AddCustomItemDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("Value:"), m_value);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    setMinimumWidth(340);

    const auto changed = [this] {
        m_error->hide();
        m_add->setEnabled(!m_name->text().trimmed().isEmpty() && !m_value->text().isEmpty());
    };
    // Names are upper case, as the files' own item names are.
    connect(m_name, &QLineEdit::textEdited, this, [this, changed](const QString& text) {
        const int position = m_name->cursorPosition();
        m_name->setText(FieldKey::custom(text).customName());
        m_name->setCursorPosition(position);
        changed();
    });
    connect(m_value, &QLineEdit::textEdited, this, changed);
}

QString AddCustomItemDialog::errorText() const {
    return m_error->isHidden() ? QString() : m_error->text();
}

void AddCustomItemDialog::accept() {
    const QString name = m_name->text().trimmed();
    const std::optional<FieldKey> key = FieldKey::fromName(name);
    if (!key)
        return refuse(
            tr("“%1” cannot name a field: a name holds no “=” and no control characters.").arg(name));
    if (const std::optional<TagField> field = key->field())
        return refuse(tr("%1 is the %2 field: edit it in its own box above.").arg(name, displayName(*field)));
    if (!m_document)
        return;
    m_document->history().endMerge();
    const Result<bool, QString> added = m_document->editField(*key, m_value->text());
    m_document->history().endMerge();
    if (!added)
        return refuse(added.error());
    QDialog::accept();
}

void AddCustomItemDialog::refuse(const QString& reason) {
    m_error->setText(reason);
    m_error->show();
    m_add->setEnabled(false);
}
