#pragma once
// Runs a step on the main thread while the calling worker waits, the way a worker hands a step
// to the window. An exception thrown by the step is carried back and rethrown in the worker.

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>
#include <functional>
#include <stdexcept>

inline void Synchronize(QObject* context, const std::function<void()>& step) {
    if (context == nullptr || QThread::currentThread() == context->thread()) {
        step();  // already on the main thread (or nothing to hop to): run in place
        return;
    }
    std::exception_ptr error;
    const bool queued = QMetaObject::invokeMethod(
        context,
        [&] {
            try {
                step();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (!queued) {
        throw std::runtime_error("the main thread is gone");
    }
    if (error) {
        std::rethrow_exception(error);
    }
}
