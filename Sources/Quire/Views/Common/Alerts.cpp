#include "Quire/Views/Common/Alerts.h"

#include <QCoreApplication>
#include <QLabel>

QString Alerts::defaultTitle() {
    return QCoreApplication::translate("Alerts", "Cadenza");
}

QMessageBox* Alerts::create(QMessageBox::Icon icon, const QString& headline, const QString& explanation,
                            QWidget* parent, const QString& title) {
    auto* box = new QMessageBox(icon, title.isEmpty() ? defaultTitle() : title, headline,
                                QMessageBox::NoButton, parent ? parent->window() : nullptr);
    box->setWindowModality(Qt::WindowModal);
    box->setInformativeText(explanation);
    // The primary text is the headline; the styles of our desktops set it like the rest.
    if (auto* primary = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = primary->font();
        bold.setBold(true);
        primary->setFont(bold);
    }
    return box;
}
