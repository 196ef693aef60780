// Topic reading handlers of the window: starting a load, showing a post, stepping through the
// starter's posts.
#include <QString>
#include <memory>
#include <string>

#include "announce/shared_values.h"
#include "app/dialogs.h"
#include "app/unit1.h"
#include "topic/my_thread.h"
#include "topic/starter_values.h"
#include "view/web_browser.h"

namespace {

constexpr char16_t kEnter = 13;
constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;
constexpr int kViewWidth = 538;
constexpr int kViewHeight = 489;

const QString kNetworkFailedMessage =
    QStringLiteral("网络连接或服务暂时遇到一些问题，请稍候再使用...");

}  // namespace

// Starts one load in a worker of its own; the window keeps no reference to it.
static void StartTopicLoad(TForm1* window) {
    TTopicWindowSteps steps;
    steps.ReadAddress = [window] { return window->edt_directory_URL->text().toStdString(); };
    steps.ShowStarterPost = [window](const std::string& firstPost) {
        window->RenderPost(firstPost);
    };
    steps.PublishPosts = [window](const std::shared_ptr<TPostList>& posts) {
        window->PostList = posts;  // the worker's list itself: it keeps growing under the window
    };
    new TMyThread(window, std::move(steps));
}

void TForm1::edt_directory_URLKeyPress(QObject*, QChar& Key) {
    if (Key != QChar(kEnter)) {
        return;
    }
    if (NetworkFailed == 1) {
        Dialogs().showMessage(kNetworkFailedMessage);
        return;
    }
    DoubleBuffered = true;
    PostIndex = -1;
    StartTopicLoad(this);
}

void TForm1::LoadAtStart(const QString& address) {
    edt_directory_URL->setText(address);
    QChar enter(kEnter);
    edt_directory_URLKeyPress(edt_directory_URL, enter);
}

void TForm1::btn1Click(QObject*) {
    if (NetworkFailed == 1) {
        Dialogs().showMessage(kNetworkFailedMessage);
        return;
    }
    DoubleBuffered = true;
    StartTopicLoad(this);
}

void TForm1::RenderPost(const std::string& fragment) {
    lbl_LZName->setText(QString::fromStdString("[" + StarterName() + "] said : "));
    wb1->setSize(kViewWidth, kViewHeight);
    wb1->Navigate(QStringLiteral("about:blank"));
    if (THTMLDocument* document = wb1->Document()) {
        document->write(QStringLiteral("<html><body style=\"border:0px;overflow:auto;\"><div "
                                       "style=\"font-size:11px\">") +
                        QString::fromStdString(fragment) + QStringLiteral("</div></body></html>"));
        document->close();
    }
    wb1->Refresh();
}

void TForm1::btn_rightClick(QObject*) {
    ++PostIndex;
    if (PostIndex >= PostList->Count()) {
        --PostIndex;
        return;
    }
    RenderPost(PostList->At(PostIndex));
}

void TForm1::btn_leftClick(QObject*) {
    --PostIndex;
    if (PostIndex < 0) {
        ++PostIndex;
        return;
    }
    // A newer, shorter list may have been published under an index from the list before: step
    // back to the last post this list has rather than asking for one it does not hold.
    const int count = PostList->Count();
    if (PostIndex >= count) {
        PostIndex = count - 1;
        if (PostIndex < 0) {
            return;  // nothing to show: the index waits before the first post
        }
    }
    RenderPost(PostList->At(PostIndex));
}

void TForm1::edt_directory_URLKeyUp(QObject*, int Key, Qt::KeyboardModifiers) {
    if (Key == kKeyLeft) {
        btn_leftClick(btn_left);
    } else if (Key == kKeyRight) {
        btn_rightClick(btn_right);
    }
}
