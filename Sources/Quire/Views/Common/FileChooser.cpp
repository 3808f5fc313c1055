#include "Quire/Views/Common/FileChooser.h"

#include <QFileDialog>

void whenChosen(QFileDialog* dialog, const QObject* context, std::function<void(const QUrl&)> chosen) {
    QObject::connect(dialog, &QDialog::accepted, context, [dialog, chosen = std::move(chosen)] {
        const QList<QUrl> selected = dialog->selectedUrls();
        if (!selected.isEmpty() && !selected.first().isEmpty())
            chosen(selected.first());
    });
}
