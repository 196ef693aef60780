#pragma once
// The announcement worker: at most one per run, started when the window is first shown, and only
// when an announcement address is configured. It fetches the announcement page with its own HTTP
// client, hands the records to the ticker and has the main thread show the first title. It is
// never stopped or awaited.

#include <atomic>
#include <string>

#include "announce/announcement_feed.h"
#include "worker/worker_thread.h"

class TAdThread final : public TWorkerThread {
    Q_OBJECT
  public:
    // `showFirstAnnouncement` reaches the window: it runs on the main thread while the worker
    // waits.
    explicit TAdThread(ShowFirstAnnouncementStep showFirstAnnouncement);

    // Creates a worker for the configured announcement address, which deletes itself once it
    // has run, and starts it. With no address configured, nothing starts: nullptr.
    static TAdThread* Launch(ShowFirstAnnouncementStep showFirstAnnouncement);

    // Workers still running in this process (for orderly test shutdown).
    static int Running();

  protected:
    // The fetch and the parse; every error ends the worker silently.
    void Execute() override;

  private:
    const std::string address_;
    ShowFirstAnnouncementStep showFirstAnnouncement_;
    static std::atomic<int> running_;
};
