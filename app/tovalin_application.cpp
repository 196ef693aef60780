#include "app/tovalin_application.h"

#include <QProxyStyle>

#include "app/error_display.h"

namespace {

// Hints come up after the pointer has rested this long on a control.
constexpr int kHintWaitMs = 500;

class THintTiming : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) {
            return kHintWaitMs;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application takes ownership of its style.
    setStyle(new THintTiming);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}
