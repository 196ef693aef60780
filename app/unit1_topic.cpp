// Topic reading handlers of the window. (Being written; see topic/.)
#include "app/unit1.h"

void TForm1::edt_directory_URLKeyPress(QObject*, QChar&) {}
void TForm1::edt_directory_URLKeyUp(QObject*, int, Qt::KeyboardModifiers) {}
void TForm1::btn1Click(QObject*) {}
void TForm1::btn_rightClick(QObject*) {}
void TForm1::btn_leftClick(QObject*) {}
void TForm1::RenderPost(const std::string&) {}
