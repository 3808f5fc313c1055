#pragma once

#include <QCoreApplication>
#include <QThread>

// Document state belongs to the thread that owns the document; every operation
// asserts it is called there.
#define ASSERT_GUI_THREAD()                                                                                  \
    Q_ASSERT_X(QThread::currentThread() == thread(), Q_FUNC_INFO, "called off the GUI thread")
