#pragma once

#include <QObject>
#include <QPointer>

class DocumentViewModel;
class QWidget;

// Whether the program may quit now. With modified files it asks whether to
// save them first; a save started here (or one already running) defers the
// answer until it ends, and the answer is yes only when it succeeded.
class QuitDecision : public QObject {
    Q_OBJECT
public:
    enum class Reply { now, cancel, later };

    QuitDecision(DocumentViewModel* document, QWidget* alertParent);
    // May show the question; a `later` is followed by `deferredReply`.
    Reply shouldTerminate();
    static QString informativeText(qsizetype modifiedCount);

signals:
    void deferredReply(bool quit);

private:
    void saveThenReply();

    QPointer<DocumentViewModel> m_document;
    QPointer<QWidget> m_alertParent;
};
