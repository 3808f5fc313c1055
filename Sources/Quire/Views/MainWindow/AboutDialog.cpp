#include "Quire/Views/MainWindow/AboutDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(const QString& shortVersion, const QUrl& feedbackUrl, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("About Cadenza"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);

    auto* name = new QLabel(tr("Cadenza"), this);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(tr("Version %1").arg(shortVersion + tr(" Beta")), this);
    version->setAlignment(Qt::AlignCenter);

    const QString secondary = palette().color(QPalette::PlaceholderText).name();
    auto* credits = new QLabel(this);
    QFont small = credits->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    credits->setFont(small);
    credits->setTextFormat(Qt::RichText);
    credits->setOpenExternalLinks(true);
    credits->setTextInteractionFlags(Qt::TextBrowserInteraction);
    credits->setAlignment(Qt::AlignCenter);
    credits->setText(QStringLiteral("<span style=\"color:%1\">%2</span><br><a href=\"%3\">%4</a>")
                         .arg(secondary, tr("Cadenza is in Beta — please expect bugs.").toHtmlEscaped(),
                              feedbackUrl.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                              tr("Contact us").toHtmlEscaped()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 16);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(8);
    layout->addWidget(credits);
    layout->addSpacing(8);
    layout->addWidget(buttons);
}
