#include "Quire/Views/Sheets/CopyFieldToFieldSheet.h"

#include "Quire/ViewModels/DocumentViewModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SheetParts;

namespace {
QComboBox* fieldChoice(TagField initial, const QString& name, QWidget* parent) {
    auto* choice = new QComboBox(parent);
    for (TagField field : allTagFields)
        choice->addItem(displayName(field), int(field));
    choice->setCurrentIndex(choice->findData(int(initial)));
    choice->setAccessibleName(name);
    return choice;
}
} // namespace

CopyFieldToFieldSheet::CopyFieldToFieldSheet(DocumentViewModel* document, QWidget* parent)
    : Sheet(tr("Copy Field to Field"), tr("Cancel"), tr("Copy"), QSize(400, 240), parent)
    , m_document(document)
    , m_source(fieldChoice(TagField::title, tr("From"), this))
    , m_target(fieldChoice(TagField::albumArtist, tr("To"), this)) {
    const qsizetype count = document->selectedFiles().size();
    setDescription(
        tr("Copy the value of one tag field to another across all %n selected files.", nullptr, int(count)));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("From"), this));
    row->addWidget(m_source, 1);
    row->addWidget(new QLabel(QStringLiteral("→"), this));
    row->addWidget(new QLabel(tr("To"), this));
    row->addWidget(m_target, 1);
    body()->addLayout(row);

    const auto refresh = [this] {
        primaryButton()->setEnabled(m_source->currentIndex() != m_target->currentIndex());
    };
    connect(m_source, &QComboBox::currentIndexChanged, this, refresh);
    connect(m_target, &QComboBox::currentIndexChanged, this, refresh);
    connect(primaryButton(), &QPushButton::clicked, this, &CopyFieldToFieldSheet::copy);
    refresh();
}

void CopyFieldToFieldSheet::copy() {
    if (!m_document || m_source->currentIndex() == m_target->currentIndex())
        return;
    m_document->tagOperations().copyFieldToField(static_cast<TagField>(m_source->currentData().toInt()),
                                                 static_cast<TagField>(m_target->currentData().toInt()));
    accept();
}
