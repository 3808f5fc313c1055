#pragma once

#include <QCoreApplication>
#include <QThread>

// Document state belongs to the thread that owns the document; every operation
// asserts it is called there.
#define ASSERT_THREAD_OF(object)                                                                             \
    Q_ASSERT_X(QThread::currentThread() == (object).thread(), Q_FUNC_INFO, "called off the GUI thread")
#define ASSERT_GUI_THREAD() ASSERT_THREAD_OF(*this)
