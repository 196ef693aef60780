#pragma once
// The application object. Besides the usual loop it is the last line of defence for errors: an
// exception that escapes any event handler stops here and goes to the default error display,
// instead of crossing the event loop.

#include <QApplication>

class TApplication : public QApplication {
    Q_OBJECT
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
