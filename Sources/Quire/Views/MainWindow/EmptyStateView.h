#pragma once

#include <QPointer>
#include <QWidget>

class CommandCenter;
class DocumentViewModel;
class QPushButton;

// What the window shows while no files are loaded: how to start, a button
// that opens the open panel, and a drop target for files and folders.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    EmptyStateView(DocumentViewModel* document, CommandCenter* commands, QWidget* parent = nullptr);
    QPushButton* openButton() const { return m_openButton; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QPointer<DocumentViewModel> m_document;
    QPushButton* m_openButton;
};
