// The reader's companions of the topic handlers: the status line on the caption row, the
// remembered reading (last topic, last post per recent topic, zoom), the drop-down of recent
// topics, and the window-wide keys that step and zoom.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/error_display.h"
#include "app/key_steps.h"
#include "app/reading.h"
#include "app/unit1.h"
#include "topic/my_thread.h"
#include "topic/starter_values.h"

namespace {

// Post text is written at 11 px, too small to read for long: the view shows no text smaller
// than this (pictures keep their size, so a post's layout is unchanged otherwise).
constexpr int kMinimumTextPixels = 15;
// The zoom Ctrl+0 comes back to: the page's own size.
constexpr double kComfortableZoom = 1.0;
// One Ctrl+plus or Ctrl+minus.
constexpr double kZoomStep = 1.1;
// Positions are written to the file at most this often while the user steps.
constexpr int kSaveDelayMs = 1000;
// A load's progress is shown at most this often: a fast load reports dozens of pages a second,
// and every change repaints the caption row while the reader may be stepping.
constexpr int kProgressIntervalMs = 100;

// Shows the list of recent topics under the address box; a choice loads it.
class TRecentTopics : public QObject {
  public:
    explicit TRecentTopics(TForm1* window) : QObject(window), window_(window) {
        QLineEdit* box = window->edt_directory_URL;
        QAction* open = box->addAction(QApplication::style()->standardIcon(QStyle::SP_ArrowDown),
                                       QLineEdit::TrailingPosition);
        open->setToolTip(QString::fromUtf8("最近读过的话题"));
        connect(open, &QAction::triggered, this, [this] { Show(); });
        box->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
            Show();
            return true;
        }
        return false;
    }

  private:
    void Show() {
        if (window_->Reading == nullptr) {
            return;
        }
        const QStringList topics = window_->Reading->memory->RecentTopics();
        if (topics.isEmpty()) {
            return;
        }
        QMenu menu(window_);
        for (const QString& topic : topics) {
            menu.addAction(topic);
        }
        QLineEdit* box = window_->edt_directory_URL;
        const QAction* chosen = menu.exec(box->mapToGlobal(QPoint(0, box->height())));
        if (chosen != nullptr) {
            window_->OpenTopic(chosen->text());
        }
    }

    TForm1* window_;
};

bool Current(const TReading* reading, int serial) {
    return reading != nullptr && reading->loadSerial == serial;
}

}  // namespace

TReading::TReading(TForm1* owner) : QObject(owner), window(owner) {
    saveSoon.setSingleShot(true);
    saveSoon.setInterval(kSaveDelayMs);
    connect(&saveSoon, &QTimer::timeout, this, [this] { memory->Save(); });
    progressSoon_.setSingleShot(true);
    connect(&progressSoon_, &QTimer::timeout, this, [this] { ShowStatus(); });
}

void TReading::ShowProgress() {
    if (progressSoon_.isActive()) {
        return;  // the text is read when the timer fires, so it is the latest then
    }
    const qint64 since = shownAt_.isValid() ? shownAt_.elapsed() : kProgressIntervalMs;
    if (since >= kProgressIntervalMs) {
        ShowStatus();
        return;
    }
    progressSoon_.start(static_cast<int>(kProgressIntervalMs - since));
}

void TReading::ShowStatus() {
    progressSoon_.stop();
    const QString text = QString::fromStdString(status.Text());
    if (text == window->lbl_status->text()) {
        return;
    }
    window->lbl_status->setText(text);
    shownAt_.start();
    // For tests from outside the process (and for diagnosing by hand): every new text on stderr.
    static const bool echo = !qEnvironmentVariableIsEmpty("TOVALIN_STATUS_ECHO");
    if (echo) {
        std::fprintf(stderr, "status: %s\n", text.toUtf8().constData());
        std::fflush(stderr);
    }
}

void TForm1::ConnectReading() {
    Reading = new TReading(this);
    Reading->memory = std::make_unique<TReadingMemory>();
    // The address the environment names wins (the demo and the tests set it); otherwise the
    // topic read last, if any.
    if (qEnvironmentVariableIsEmpty("TOVALIN_TOPIC_URL") &&
        !Reading->memory->LastTopic().isEmpty()) {
        edt_directory_URL->setText(Reading->memory->LastTopic());
    }
    wb1->setMinimumTextPixels(kMinimumTextPixels);
    wb1->setZoom(Reading->memory->Zoom() > 0 ? Reading->memory->Zoom() : kComfortableZoom);
    new TRecentTopics(this);
    // The process ends right after the loop without running destructors: save before.
    connect(qApp, &QCoreApplication::aboutToQuit, Reading, [reading = Reading] {
        reading->memory->SetZoom(reading->window->wb1->zoom());
        reading->memory->Save();
    });
    if (!qEnvironmentVariableIsEmpty("TOVALIN_LOAD_AT_START")) {
        QTimer::singleShot(0, this, [this] { OpenTopic(edt_directory_URL->text()); });
    }
}

void TForm1::OpenTopic(const QString& address) {
    edt_directory_URL->setText(address);
    QChar enter(13);
    edt_directory_URLKeyPress(edt_directory_URL, enter);
}

void TForm1::StepByKey(TKeyStep step) {
    switch (step) {
        case TKeyStep::Next:
            btn_rightClick(btn_right);
            break;
        case TKeyStep::Previous:
            btn_leftClick(btn_left);
            break;
        case TKeyStep::Opening:
            ShowOpeningPost();
            break;
        case TKeyStep::Last:
            ShowLastPost();
            break;
    }
}

void TForm1::ShowOpeningPost() {
    if (Reading == nullptr || !Reading->openingShown) {
        return;
    }
    PostIndex = -1;
    RenderPost(Reading->openingPost);
}

void TForm1::ShowLastPost() {
    const int count = PostList->Count();
    if (count == 0) {
        return;
    }
    PostIndex = count - 1;
    RenderPost(PostList->At(PostIndex));
}

void TForm1::ZoomByKey(TZoomKey key) {
    double factor = wb1->zoom();
    switch (key) {
        case TZoomKey::In:
            factor *= kZoomStep;
            break;
        case TZoomKey::Out:
            factor /= kZoomStep;
            break;
        case TZoomKey::Reset:
            factor = kComfortableZoom;
            break;
    }
    factor = std::clamp(factor, TReadingMemory::kMinZoom, TReadingMemory::kMaxZoom);
    wb1->setZoom(factor);
    if (Reading != nullptr) {
        Reading->memory->SetZoom(factor);
        Reading->saveSoon.start();
    }
}

void AttachReading(TForm1* window, TTopicLoaderHooks& steps) {
    TReading* reading = window->Reading;
    if (reading == nullptr) {
        return;
    }
    const int serial = ++reading->loadSerial;
    reading->topic = window->edt_directory_URL->text().trimmed();
    reading->openingShown = false;
    reading->published = false;
    reading->openingPost.clear();
    reading->restorePost = reading->memory->PostFor(reading->topic);
    reading->memory->TopicOpened(reading->topic);
    reading->memory->Save();
    reading->status.LoadStarted();
    reading->ShowStatus();

    steps.ShowStarterPost =
        [reading, serial, show = std::move(steps.ShowStarterPost)](const std::string& firstPost) {
            if (Current(reading, serial)) {
                reading->openingPost = firstPost;
                reading->openingShown = true;
                // A topic page names its starter and has an opening post; a page without the
                // markers gives an empty post (and often an empty name).
                reading->status.OpeningShown(!StarterName().empty() && !firstPost.empty());
            }
            show(firstPost);
        };
    steps.PublishPosts = [reading, serial, publish = std::move(steps.PublishPosts)](
                             const std::shared_ptr<TPostList>& posts) {
        publish(posts);
        if (!Current(reading, serial)) {
            return;
        }
        reading->published = true;
        TForm1* w = reading->window;
        const int count = w->PostList->Count();
        // Back where the reader left this topic, once its pages have come that far, unless the
        // reader has stepped meanwhile.
        if (reading->restorePost >= 0 && w->PostIndex != -1) {
            reading->restorePost = -1;
        }
        if (reading->restorePost >= 0 && reading->restorePost < count) {
            w->PostIndex = std::exchange(reading->restorePost, -1);
            Guarded([&] { w->RenderPost(w->PostList->At(w->PostIndex)); });
            return;
        }
        if (reading->openingShown) {
            reading->status.Showing(w->PostIndex, count);
        }
        reading->ShowProgress();
    };
    steps.PageFetched = [reading, serial](const std::string&) {
        if (Current(reading, serial)) {
            reading->status.PageFetched();
            reading->ShowProgress();
        }
    };
    steps.PageGaveUp = [reading, serial](const std::string&, const std::string& reason) {
        if (Current(reading, serial)) {
            reading->status.PageGaveUp(reason);
            reading->ShowStatus();
        }
    };
    steps.PageMalformed = [reading, serial](const std::string&) {
        if (Current(reading, serial)) {
            reading->status.PageMalformed();
            reading->ShowStatus();
        }
    };
    steps.LoadEnded = [reading, serial] {
        if (Current(reading, serial)) {
            reading->restorePost = -1;
            reading->status.LoadEnded();
            reading->ShowStatus();
        }
    };
}

void ReadingShown(TForm1* window) {
    TReading* reading = window->Reading;
    if (reading == nullptr) {
        return;
    }
    // Until this load publishes, the window's list is the load before's.
    const int count = reading->published ? window->PostList->Count() : window->PostIndex + 1;
    reading->status.Showing(window->PostIndex, std::max(count, 0));
    reading->ShowStatus();
    // The opening post shown by a load that is about to restore a later one is no choice of
    // the reader's.
    if (reading->restorePost < 0 && !reading->topic.isEmpty()) {
        reading->memory->PostShown(reading->topic, window->PostIndex);
        reading->saveSoon.start();
    }
}

void ReadingEndReached(TForm1* window) {
    TReading* reading = window->Reading;
    if (reading == nullptr) {
        return;
    }
    reading->status.Showing(window->PostIndex, window->PostList->Count());
    reading->status.EndReached();
    reading->ShowStatus();
}
