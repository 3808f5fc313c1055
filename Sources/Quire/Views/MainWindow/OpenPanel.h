#pragma once

#include <QFileDialog>
#include <QList>
#include <QUrl>

// The "Add" panel: several files and folders may be chosen together, and no
// file-type filter is set (the import skips what it cannot read).
class OpenPanel : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenPanel(QWidget* parent = nullptr);
    // What was chosen, in the panel's order.
    QList<QUrl> chosenUrls() const { return m_chosen; }

public slots:
    void accept() override;

private:
    QList<QUrl> m_chosen;
};
