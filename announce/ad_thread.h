#pragma once
// The announcement worker: one per run, started when the window is first shown. It fetches the
// announcement page with its own HTTP client, hands the records to the ticker and has the main
// thread show the first title. It is never stopped or awaited.

#include <QThread>
#include <string>

#include "announce/announcement_feed.h"

class TAdThread : public QThread {
    Q_OBJECT
  public:
    // `showFirstAnnouncement` reaches the window: it runs on the thread this object was created
    // on (the main thread) while the worker waits.
    explicit TAdThread(ShowFirstAnnouncementStep showFirstAnnouncement, QObject* parent = nullptr);

    // Creates a worker that deletes itself once it has run, and starts it.
    static TAdThread* Launch(ShowFirstAnnouncementStep showFirstAnnouncement);

  protected:
    // The fetch and the parse; every error ends the worker silently.
    void run() override;

  private:
    // Runs on the main thread through a synchronised call.
    void ShowFirstAnnouncement(const std::string& firstTitle);

    ShowFirstAnnouncementStep showFirstAnnouncement_;
};
