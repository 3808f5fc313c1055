#include "Quire/Views/MainWindow/OpenPanel.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileSystemModel>
#include <QItemSelectionModel>

OpenPanel::OpenPanel(QWidget* parent)
    : QFileDialog(parent) {
    // The desktop's own panels choose either files or folders, never both.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(tr("Choose audio files or folders"));
    setLabelText(QFileDialog::Accept, tr("Add"));
    setDirectory(QDir::home());
}

// The file views select folders as well as files; take the selection as it
// is. With nothing selected (a typed name), the panel decides as usual.
void OpenPanel::accept() {
    QList<QUrl> chosen;
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>()) {
        if (!view->isVisible() || !view->selectionModel() || view->objectName() == u"sidebar")
            continue;
        for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
            const QString path = index.data(QFileSystemModel::FilePathRole).toString();
            if (!path.isEmpty() && !chosen.contains(QUrl::fromLocalFile(path)))
                chosen.append(QUrl::fromLocalFile(path));
        }
        if (!chosen.isEmpty())
            break;
    }
    if (chosen.isEmpty()) {
        QFileDialog::accept();
        m_chosen = selectedUrls();
        return;
    }
    m_chosen = chosen;
    QDialog::accept();
}
