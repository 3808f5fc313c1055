#pragma once

#include <QDialog>
#include <QUrl>

// "About Cadenza": the name, the version with " Beta" after it, and a note on
// the beta with a link for feedback.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const QString& shortVersion, const QUrl& feedbackUrl, QWidget* parent = nullptr);
};
