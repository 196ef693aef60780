#pragma once
// The worker thread of one topic load. It runs the loader on its own thread with its own HTTP
// client and reaches the window only through synchronised steps: every hook it is given runs on
// the thread of the window while the worker waits. The thread is started by its constructor,
// never awaited, and deletes itself when the load ends.
//
// The newest load wins: once a newer TMyThread has been created, an older load runs none of its
// hooks any more (no list, starter values, opening post or status reach the window), its
// connection is shut down so a read it is blocked in ends, and it stops at its next step.

#include <QPointer>
#include <atomic>
#include <cstdint>

#include "topic/topic_loader.h"
#include "worker/worker_thread.h"

class TMyThread final : public TWorkerThread {
    Q_OBJECT
  public:
    // Starts the load at once. `window` is the object whose thread runs the hooks; a window that
    // is gone ends the load as a newer load would.
    TMyThread(QObject* window, TTopicLoaderHooks steps);

    // The load itself, on the worker thread.
    void Execute() override;

    // True once a newer load has started (any thread may ask).
    bool Superseded() const;

    // Workers still running in this process (for orderly test shutdown).
    static int Running();

  protected:
    void CheckStep() override;

  private:
    // Raises ELoadStopped when a newer load has started.
    void StopIfSuperseded() const;

    QPointer<QObject> window_;
    TTopicLoaderHooks steps_;
    // This load's number; a newer load has a larger one.
    const std::uint64_t load_;
    static std::atomic<int> running_;
};
