#include "worker/worker_thread.h"

TWorkerThread::TWorkerThread(std::atomic<int>& running) : running_(running) {}

void TWorkerThread::StartDetached() {
    ++running_;
    // `finished` is emitted while the thread is still winding down; the object may only go once
    // the thread has really ended, hence the (brief) wait before the deletion. The slot runs on
    // the main thread, where this object lives.
    connect(this, &QThread::finished, this, [this] {
        wait();
        deleteLater();
    });
    start();
}

void TWorkerThread::run() {
    try {
        Execute();
    } catch (...) {
        // An error that escapes the work ends this worker quietly; whatever it handed to the
        // window so far stays there.
    }
    --running_;
}

void TWorkerThread::OnMainThread(const std::function<void()>& step) {
    // This object lives on the main thread and is only deleted after the run has ended, so it
    // is a safe context to hop over with.
    Synchronize(this, [&] {
        CheckStep();
        step();
    });
}
