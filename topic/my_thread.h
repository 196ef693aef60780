#pragma once
// The worker thread of one topic load. It runs the loader on its own thread with its own HTTP
// client and reaches the window only through synchronised steps: each hook below runs on the
// thread of `context` (the window) while the worker waits. The thread is started by its
// constructor, never awaited, and deletes itself when the load ends.

#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "topic/post_list.h"

// What a load needs of the window; every step runs on the window's thread.
struct TTopicWindowSteps {
    std::function<std::string()> ReadAddress;
    std::function<void(const std::string& firstPost)> ShowStarterPost;
    std::function<void(const std::shared_ptr<TPostList>& posts)> PublishPosts;
    // Optional: what the status line reports. The loader's page reports, and the end of the load
    // (also when it ends by an error).
    std::function<void(const std::string& address)> PageFetched;
    std::function<void(const std::string& address, const std::string& reason)> PageGaveUp;
    std::function<void(const std::string& address)> PageMalformed;
    std::function<void()> LoadEnded;
};

class TMyThread final : public QThread {
    Q_OBJECT
  public:
    TMyThread(QObject* context, TTopicWindowSteps steps);

    // The load itself, on the worker thread.
    void Execute();

    // Workers still running in this process (for orderly test shutdown).
    static int Running();

  protected:
    void run() override;

  private:
    QPointer<QObject> context_;
    TTopicWindowSteps steps_;
    static std::atomic<int> running_;
};
