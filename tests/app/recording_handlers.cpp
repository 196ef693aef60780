#include "tests/app/recording_handlers.h"

#include "app/unit1.h"

std::vector<RecordedCall>& RecordedCalls() {
    static std::vector<RecordedCall> calls;
    return calls;
}

std::function<void(const std::string&, QChar*)> RecordedHandlerAction;

namespace {
void Record(const char* handler, QObject* sender, int key = 0, QChar* typed = nullptr) {
    RecordedCalls().push_back({handler, sender, key});
    if (RecordedHandlerAction) {
        RecordedHandlerAction(handler, typed);
    }
}
}  // namespace

void TForm1::edt_directory_URLKeyPress(QObject* Sender, QChar& Key) {
    Record("KeyPress", Sender, Key.unicode(), &Key);
}
void TForm1::edt_directory_URLKeyUp(QObject* Sender, int Key, Qt::KeyboardModifiers) {
    Record("KeyUp", Sender, Key);
}
void TForm1::btn1Click(QObject* Sender) {
    Record("btn1Click", Sender);
}
void TForm1::btn_rightClick(QObject* Sender) {
    Record("btn_rightClick", Sender);
}
void TForm1::btn_leftClick(QObject* Sender) {
    Record("btn_leftClick", Sender);
}
void TForm1::RenderPost(const std::string&) {
    Record("RenderPost", this);
}
void TForm1::StartAnnouncementWorker() {
    Record("StartAnnouncementWorker", this);
}
void TForm1::tmr_adTimer(QObject* Sender) {
    Record("tmr_adTimer", Sender);
}
void TForm1::lbl_ad1Click(QObject* Sender) {
    Record("lbl_ad1Click", Sender);
}
void TForm1::lbl_ad1MouseMove(QObject* Sender, Qt::KeyboardModifiers, int, int) {
    Record("lbl_ad1MouseMove", Sender);
}
void TForm1::lbl_ad1MouseLeave(QObject* Sender) {
    Record("lbl_ad1MouseLeave", Sender);
}
void TForm1::ConnectReading() {}
void TForm1::StepByKey(TKeyStep step) {
    Record("StepByKey", this, static_cast<int>(step));
}
void TForm1::ZoomByKey(TZoomKey zoom) {
    Record("ZoomByKey", this, static_cast<int>(zoom));
}
void TForm1::OpenInExplorer(const std::string&) {
    Record("OpenInExplorer", this);
}
