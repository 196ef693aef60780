#pragma once
// The launch and lifetime every worker of the window shares. A worker is created on the main
// thread and started at once; the window keeps no reference to it and never stops or awaits it.
// An error that escapes Execute ends the worker quietly. Once the thread has ended, the object
// deletes itself on the main thread (it needs the event loop for that; at process end it is
// simply never freed). Steps that touch the window run on the main thread while the worker
// waits.

#include <QThread>
#include <atomic>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

#include "worker/synchronize.h"

class TWorkerThread : public QThread {
    Q_OBJECT
  protected:
    // `running` counts the workers of one kind: raised by StartDetached, lowered when Execute
    // has returned.
    explicit TWorkerThread(std::atomic<int>& running);

    // Starts the thread. Call once, at the end of the most derived constructor (or right after
    // it): the thread runs Execute at once.
    void StartDetached();

    // The work, on the worker thread.
    virtual void Execute() = 0;

    // Called on the main thread right before each synchronised step; an error it raises skips
    // the step and is raised in the worker instead (a load nobody wants any more).
    virtual void CheckStep() {}

    // Runs `step` on the main thread while this worker waits; an error raised there is raised
    // again here.
    void OnMainThread(const std::function<void()>& step);

    // The same step, each call made through OnMainThread; an empty step stays empty.
    template <typename R, typename... Args>
    std::function<R(Args...)> Synchronized(std::function<R(Args...)> step);

  private:
    void run() final;

    std::atomic<int>& running_;
};

template <typename R, typename... Args>
std::function<R(Args...)> TWorkerThread::Synchronized(std::function<R(Args...)> step) {
    if (!step) {
        return {};
    }
    return [this, step = std::move(step)](Args... args) -> R {
        if constexpr (std::is_void_v<R>) {
            OnMainThread([&] { step(args...); });
        } else {
            std::optional<R> result;
            OnMainThread([&] { result.emplace(step(args...)); });
            return std::move(*result);
        }
    };
}
