#pragma once

#include <QPointer>
#include <QWidget>

class DocumentViewModel;
class QLabel;
class QProgressBar;

// Covers its parent while a large import runs (more than 20 files): a dimmed
// layer with a card that counts the files read.
class ImportProgressOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 minimumFiles = 21;

    ImportProgressOverlay(DocumentViewModel* document, QWidget* parent);
    QString progressText() const;
    QString loadedText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    QPointer<DocumentViewModel> m_document;
    QWidget* m_card;
    QLabel* m_progressLabel;
    QProgressBar* m_progressBar;
    QLabel* m_loadedLabel;
    int m_sizedForDigits = 0; // of the total the card was last sized for
};
