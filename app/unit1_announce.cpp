// Ticker handlers of the window. (Being written; see announce/.)
#include "app/unit1.h"

void TForm1::StartAnnouncementWorker() {}
void TForm1::tmr_adTimer(QObject*) {}
void TForm1::lbl_ad1Click(QObject*) {}
void TForm1::lbl_ad1MouseMove(QObject*, Qt::KeyboardModifiers, int, int) {}
void TForm1::lbl_ad1MouseLeave(QObject*) {}
void TForm1::OpenInExplorer(const std::string&) {}
