#include "topic/my_thread.h"

#include <map>
#include <mutex>
#include <utility>

#include "net/net_http.h"
#include "net/net_reader_setup.h"
#include "worker/page_fetch.h"

namespace {

// The number of the newest load. Raised on the main thread only, when a load is created, so a
// step that checks it on the main thread cannot race with a newer load's start.
std::atomic<std::uint64_t> newestLoad{0};

// The HTTP clients of the loads that are fetching, by load number, so a newer load can shut
// their connections down. A client is in here only while its load holds it.
std::mutex clientsLock;
std::map<std::uint64_t, TNetHTTP*>& Clients() {
    static std::map<std::uint64_t, TNetHTTP*> clients;
    return clients;
}

}  // namespace

std::atomic<int> TMyThread::running_{0};

TMyThread::TMyThread(QObject* window, TTopicLoaderHooks steps)
    : TWorkerThread(running_), window_(window), steps_(std::move(steps)), load_(++newestLoad) {
    {
        // Every older load still fetching: end the read it may be blocked in. Its next step
        // then sees that it was superseded.
        const std::lock_guard<std::mutex> lock(clientsLock);
        for (const auto& [load, client] : Clients()) {
            if (load < load_) {
                client->Abort();
            }
        }
    }
    StartDetached();
}

int TMyThread::Running() {
    return running_.load();
}

bool TMyThread::Superseded() const {
    return newestLoad.load() != load_;
}

void TMyThread::StopIfSuperseded() const {
    if (Superseded()) {
        throw ELoadStopped();
    }
}

void TMyThread::CheckStep() {
    // On the main thread, right before a step: nothing of a load that lost its window or was
    // superseded reaches the window.
    if (window_.isNull() || Superseded()) {
        throw ELoadStopped();
    }
}

void TMyThread::Execute() {
    // The client is created on this thread and serves every request of the load.
    TNetHTTP http;
    ConfigureForReading(http);
    struct Registration {
        std::uint64_t load;
        ~Registration() {
            const std::lock_guard<std::mutex> lock(clientsLock);
            Clients().erase(load);
        }
    };
    {
        const std::lock_guard<std::mutex> lock(clientsLock);
        // A newer load that started before this thread got here found no client to shut down.
        StopIfSuperseded();
        Clients()[load_] = &http;
    }
    const Registration registration{load_};

    // A read that ends because a newer load shut the connection down is no failed try: the
    // load stops there.
    const TPageGetter get = [this, &http](const std::string& address) {
        StopIfSuperseded();
        std::string body;
        try {
            body = http.Get(address);
        } catch (...) {
            StopIfSuperseded();
            throw;
        }
        StopIfSuperseded();
        return body;
    };

    TTopicLoaderHooks hooks;
    hooks.ReadAddress = Synchronized(steps_.ReadAddress);
    hooks.ShowStarterPost = Synchronized(steps_.ShowStarterPost);
    hooks.PublishPosts = Synchronized(steps_.PublishPosts);
    hooks.StarterFound = Synchronized(steps_.StarterFound);
    hooks.PageFetched = Synchronized(steps_.PageFetched);
    hooks.PageGaveUp = Synchronized(steps_.PageGaveUp);
    hooks.PageMalformed = Synchronized(steps_.PageMalformed);
    hooks.LoadEnded = Synchronized(steps_.LoadEnded);
    TTopicLoader loader(get, std::move(hooks));
    loader.Execute();
}
