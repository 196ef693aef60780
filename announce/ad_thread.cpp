#include "announce/ad_thread.h"

#include <utility>

#include "announce/announcement_address.h"
#include "app/synchronize.h"
#include "net/net_reader_setup.h"

TAdThread::TAdThread(ShowFirstAnnouncementStep showFirstAnnouncement, QObject* parent)
    : QThread(parent), showFirstAnnouncement_(std::move(showFirstAnnouncement)) {}

TAdThread* TAdThread::Launch(ShowFirstAnnouncementStep showFirstAnnouncement) {
    // No parent: the worker outlives nothing it could be deleted with while running. If the
    // process ends first, the object is simply never destroyed.
    auto* worker = new TAdThread(std::move(showFirstAnnouncement));
    // `finished` is emitted while the thread is still winding down; the object may only go
    // once the thread has really ended, hence the wait (brief) before the deletion.
    connect(worker, &QThread::finished, worker, [worker] {
        worker->wait();
        worker->deleteLater();
    });
    worker->start();
    return worker;
}

void TAdThread::run() {
    try {
        const std::string address = AnnouncementAddress();
        TNetHTTP http;  // one client for every try, freed when the run ends
        ConfigureForReading(http);
        RunAnnouncementFeed([&http](const std::string& a) { return http.Get(a); }, address,
                            [this](const std::string& first) { ShowFirstAnnouncement(first); });
    } catch (...) {
        // An error that escapes the feed ends the worker and is shown to no one.
    }
}

void TAdThread::ShowFirstAnnouncement(const std::string& firstTitle) {
    // This object lives on the main thread and is only deleted after the run has ended, so it
    // is a safe context to hop over with.
    Synchronize(this, [&] {
        if (showFirstAnnouncement_) {
            showFirstAnnouncement_(firstTitle);
        }
    });
}
