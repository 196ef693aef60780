#include "topic/my_thread.h"

#include <stdexcept>
#include <utility>

#include "app/synchronize.h"
#include "net/net_http.h"
#include "topic/topic_loader.h"

std::atomic<int> TMyThread::running_{0};

TMyThread::TMyThread(QObject* context, TTopicWindowSteps steps)
    : context_(context), steps_(std::move(steps)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    ++running_;
    start();
}

int TMyThread::Running() {
    return running_.load();
}

void TMyThread::run() {
    try {
        Execute();
    } catch (...) {
        // An error that escapes the load ends this worker quietly; the window keeps what was
        // published so far.
    }
    --running_;
}

void TMyThread::Execute() {
    // Each step hops to the window's thread and waits; a window that is gone fails the step,
    // which the loader treats like any failed step.
    auto onWindow = [this](const std::function<void()>& step) {
        QObject* window = context_.data();
        if (window == nullptr) {
            throw std::runtime_error("the window is gone");
        }
        Synchronize(window, step);
    };

    // The client is created on this thread and serves every request of the load.
    TNetHTTP http;
    TTopicLoaderHooks hooks;
    hooks.ReadAddress = [&] {
        std::string address;
        onWindow([&] { address = steps_.ReadAddress(); });
        return address;
    };
    hooks.ShowStarterPost = [&](const std::string& firstPost) {
        onWindow([&] { steps_.ShowStarterPost(firstPost); });
    };
    hooks.PublishPosts = [&](const std::shared_ptr<TPostList>& posts) {
        onWindow([&] { steps_.PublishPosts(posts); });
    };
    // Reports for the status line: a failed report must neither end the load nor repeat a page.
    const auto tell = [&](const std::function<void()>& step) {
        try {
            onWindow(step);
        } catch (...) {
        }
    };
    if (steps_.PageFetched) {
        hooks.PageFetched = [&](const std::string& a) { tell([&] { steps_.PageFetched(a); }); };
    }
    if (steps_.PageGaveUp) {
        hooks.PageGaveUp = [&](const std::string& a, const std::string& reason) {
            tell([&] { steps_.PageGaveUp(a, reason); });
        };
    }
    if (steps_.PageMalformed) {
        hooks.PageMalformed = [&](const std::string& a) { tell([&] { steps_.PageMalformed(a); }); };
    }
    const auto ended = [&] {
        if (steps_.LoadEnded) {
            tell(steps_.LoadEnded);
        }
    };
    TTopicLoader loader([&http](const std::string& address) { return http.Get(address); },
                        std::move(hooks));
    try {
        loader.Execute();
    } catch (...) {
        ended();
        throw;
    }
    ended();
}
