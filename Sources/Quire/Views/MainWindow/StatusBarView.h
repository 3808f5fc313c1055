#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class DocumentViewModel;
class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

// The row below the file list: how many files are loaded or selected, how
// many are modified, the first selected file's bitrate and sample rate, and
// while a save runs its progress. Its Save button runs the save command.
class StatusBarView : public QWidget {
    Q_OBJECT
public:
    StatusBarView(DocumentViewModel* document, QAction* save, QWidget* parent = nullptr);

    QString countText() const;
    QString modifiedText() const; // empty while nothing is modified
    QString propertiesText() const;
    QString savingText() const; // empty unless saving
    QPushButton* saveButton() const { return m_saveButton; }

private:
    void refresh();

    QPointer<DocumentViewModel> m_document;
    QLabel* m_count;
    QLabel* m_dot;
    QLabel* m_modified;
    QLabel* m_properties;
    QPushButton* m_saveButton;
    QProgressBar* m_saveProgress;
    QLabel* m_saving;
    // A save or background work reports every file; the row follows at most this often.
    static constexpr int progressIntervalMs = 50;
    QTimer m_progressRefresh;
    bool m_progressPending = false;
};
