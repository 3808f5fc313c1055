#include "Quire/Views/MainWindow/QuitDecision.h"

#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/Views/Common/Alerts.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

QuitDecision::QuitDecision(DocumentViewModel* document, QWidget* alertParent)
    : QObject(alertParent)
    , m_document(document)
    , m_alertParent(alertParent) {}

QString QuitDecision::informativeText(qsizetype modifiedCount) {
    return tr("%n files have unsaved tag changes. Save them before quitting?", nullptr, int(modifiedCount));
}

QuitDecision::Reply QuitDecision::shouldTerminate() {
    if (!m_document)
        return Reply::now;
    if (m_document->isSaving()) {
        saveThenReply();
        return Reply::later;
    }
    const qsizetype modified = m_document->modifiedCount();
    if (modified == 0)
        return Reply::now;

    const std::unique_ptr<QMessageBox> alert(Alerts::create(
        QMessageBox::Warning, tr("You have unsaved changes."), informativeText(modified), m_alertParent));
    QPushButton* save = alert->addButton(tr("Save"), QMessageBox::AcceptRole);
    QPushButton* discard = alert->addButton(tr("Discard"), QMessageBox::DestructiveRole);
    QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(save);
    alert->setEscapeButton(cancel);
    alert->exec();
    if (alert->clickedButton() == save && m_document) {
        saveThenReply();
        return Reply::later;
    }
    if (alert->clickedButton() == discard)
        return Reply::now;
    return Reply::cancel;
}

// Waits for a running save, saves what is still modified, and says yes only
// when nothing is left modified (a file that failed to save stays modified).
void QuitDecision::saveThenReply() {
    m_document->saveAll([this, guard = QPointer<QuitDecision>(this)] {
        if (!guard || !m_document)
            return;
        emit deferredReply(m_document->modifiedCount() == 0);
    });
}
