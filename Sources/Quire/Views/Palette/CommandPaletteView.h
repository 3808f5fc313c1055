#pragma once

#include "Quire/Views/Palette/PaletteCommand.h"

#include <QPointer>
#include <QWidget>

class CommandRegistry;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

// The command palette: a search field over the filtered list of every
// command, shown over the whole window on a dimmed layer. Typing filters,
// the arrow keys move among the enabled commands, Return or a click runs one
// and closes the palette; Escape, Ctrl+K and a click outside the card close it.
class CommandPaletteView : public QWidget {
    Q_OBJECT
public:
    CommandPaletteView(CommandRegistry* registry, QWidget* parent);

    QLineEdit* searchField() const { return m_search; }
    QListWidget* list() const { return m_list; }
    const QList<PaletteCommand>& shownCommands() const { return m_shown; }
    qsizetype selectedIndex() const { return m_selected; }
    bool showsNoActionsFound() const;
    // Runs the command at `index` of the shown list if it is enabled, then
    // closes the palette; does nothing for a disabled one.
    void runCommand(qsizetype index);

signals:
    // The palette wants to be closed (Escape, Ctrl+K, a click outside, a run).
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    void refilter();
    void fill();
    void select(qsizetype index);
    void place();

    QPointer<CommandRegistry> m_registry;
    QList<PaletteCommand> m_all;
    QList<PaletteCommand> m_shown;
    qsizetype m_selected = 0;
    QWidget* m_card;
    QLineEdit* m_search;
    QToolButton* m_clear;
    QListWidget* m_list;
    QLabel* m_empty;
};
