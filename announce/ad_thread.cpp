#include "announce/ad_thread.h"

#include <utility>

#include "announce/announcement_address.h"
#include "net/net_http.h"
#include "net/net_reader_setup.h"

std::atomic<int> TAdThread::running_{0};

TAdThread::TAdThread(ShowFirstAnnouncementStep showFirstAnnouncement)
    : TWorkerThread(running_),
      address_(AnnouncementAddress()),
      showFirstAnnouncement_(std::move(showFirstAnnouncement)) {}

TAdThread* TAdThread::Launch(ShowFirstAnnouncementStep showFirstAnnouncement) {
    if (AnnouncementAddress().empty()) {
        return nullptr;  // no page to ask: the ticker stays empty and the network never fails
    }
    // No parent: the worker deletes itself once it has run. If the process ends first, the
    // object is simply never destroyed.
    auto* worker = new TAdThread(std::move(showFirstAnnouncement));
    worker->StartDetached();
    return worker;
}

int TAdThread::Running() {
    return running_.load();
}

void TAdThread::Execute() {
    TNetHTTP http;  // one client for every try, freed when the run ends
    ConfigureForReading(http);
    RunAnnouncementFeed([&http](const std::string& a) { return http.Get(a); }, address_,
                        Synchronized(showFirstAnnouncement_));
}
