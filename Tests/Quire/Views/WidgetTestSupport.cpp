#include "WidgetTestSupport.h"

#include "Quire/Views/FileList/FileListView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace WidgetTest {

void WindowTest::SetUp() {
    QSettings().clear(); // each test starts as on a first run
    window = std::make_unique<MainWindow>(&document, &commands);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void WindowTest::TearDown() {
    window.reset();
}

void WindowTest::load(const QStringList& names, const QString& fixture) {
    QList<QUrl> urls;
    for (const QString& name : names)
        urls.append(library.add(name, fixture));
    DocumentTest::importAndWait(document, urls);
    QCoreApplication::processEvents();
}

FileListView* WindowTest::list() const {
    return window->fileList();
}

QString WindowTest::title() const {
    return window->windowTitle().remove(QStringLiteral("[*]"));
}

MessageBoxAnswer::MessageBoxAnswer(const QString& button)
    : m_button(button) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
    m_timer.start(20);
}

void MessageBoxAnswer::answer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible())
            continue;
        m_timer.stop();
        shown = true;
        text = box->text();
        informativeText = box->informativeText();
        for (QAbstractButton* candidate : box->buttons())
            buttons.append(candidate->text());
        if (m_button.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == m_button) {
                candidate->click();
                return;
            }
        }
        return;
    }
}

std::unique_ptr<MessageBoxAnswer> answerNextMessageBox(const QString& button) {
    return std::make_unique<MessageBoxAnswer>(button);
}

} // namespace WidgetTest
