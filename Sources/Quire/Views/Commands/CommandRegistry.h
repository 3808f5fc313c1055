#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class CommandCenter;
class DocumentViewModel;
class QAction;
class QMenu;
struct CommandFacts;

// Every command of the window, declared once (in CommandRegistry.cpp): its name, its text, shortcut,
// symbol, palette keywords, when it is enabled and what it runs. The registry owns one QAction per
// command and keeps their enabled states in step with the document, so the menu bar, the toolbar, the
// file list's context menu and the command palette, all built from these actions, agree.
//
// A command either runs a document operation (save, undo, redo, the tag clipboard) or posts its name to
// the CommandCenter, where the view that owns the matching state handles it.
class CommandRegistry : public QObject {
    Q_OBJECT
public:
    struct Command {
        QString name;
        QString title;    // as shown, without mnemonic escapes
        QString symbol;   // see Symbols
        QString keywords; // space-separated; empty for commands the palette does not list
        QAction* action = nullptr;
    };

    CommandRegistry(DocumentViewModel* document, CommandCenter* commands, QObject* parent);

    // Every command in its declared order, which is the palette's order.
    const QList<Command>& commands() const { return m_commands; }
    // The action of a declared command name; null for any other name.
    QAction* action(const QString& name) const;
    // Adds the named commands' actions to the menu; "-" adds a separator.
    void addTo(QMenu* menu, const QStringList& names) const;

signals:
    // The actions' enabled states were brought up to date with the document.
    void refreshed();

private:
    using Rule = bool (*)(const CommandFacts&);
    void refresh();

    QPointer<DocumentViewModel> m_document;
    QList<Command> m_commands;
    QList<std::pair<QAction*, Rule>> m_rules;
};
