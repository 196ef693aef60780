#include "app/error_display.h"

#include "app/dialogs.h"

QString ErrorDisplayText(const QString& message) {
    // In the original 8-bit code page a character is one or two bytes, and the comparison with
    // "." is byte-wise, so its first byte decides: any character beyond ASCII (lead byte 0x81 and
    // up) sorts above "." just as letters and digits do. Unicode code units order the same way.
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + u'.';
    }
    return message;
}

void ShowException(const std::exception_ptr& error) {
    QString message;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    try {
        if (Dialogs().showError) {
            Dialogs().showError(ErrorDisplayText(message));
        }
    } catch (...) {
        // The display itself failed; there is nowhere left to report that.
    }
}

void Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowException(std::current_exception());
    }
}
