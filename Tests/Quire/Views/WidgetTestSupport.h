#pragma once

#include "../ViewModels/DocumentTestSupport.h"
#include "Quire/Views/Common/CommandCenter.h"
#include "Quire/Views/MainWindow/MainWindow.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

class FileListView;

namespace WidgetTest {

// The real window, shown offscreen, over a document of copied fixture files.
class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Copies the fixtures under the given names and imports them all.
    void load(const QStringList& names, const QString& fixture = QStringLiteral("tagged.flac"));
    FileListView* list() const;
    QString title() const; // without the edited-mark placeholder
    QList<QUuid> ids() const { return DocumentTest::idsOf(document.files()); }

    DocumentTest::Library library;
    DocumentViewModel document;
    CommandCenter commands;
    std::unique_ptr<MainWindow> window;
};

// Answers the next message box that opens, while it lives, by clicking the
// button with the given text, or by pressing Escape when the text is empty;
// records what the box showed.
class MessageBoxAnswer {
public:
    explicit MessageBoxAnswer(const QString& button);
    bool shown = false;
    QString text;
    QString informativeText;
    QStringList buttons;

private:
    void answer();
    QString m_button;
    QTimer m_timer;
};

std::unique_ptr<MessageBoxAnswer> answerNextMessageBox(const QString& button);

} // namespace WidgetTest
