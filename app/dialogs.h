#pragma once
// Modal dialogs and the system's address opener. Everything the window shows modally or hands to
// the desktop goes through these seams, so tests can answer and record them.

#include <QString>
#include <functional>
#include <string>

struct DialogSeams {
    // Plain message box with an OK button; caption: the application title.
    std::function<void(const QString& text)> showMessage;
    // Yes/No box with the question icon; returns true for Yes.
    std::function<bool(const QString& text, const QString& caption)> askYesNo;
    // The default error display: stop icon, OK, caption: the application title.
    std::function<void(const QString& text)> showError;
    // Hands a web address (http, https), unchanged, to the system's opener; the result is
    // ignored. Anything else raises EAddressRefused.
    std::function<void(const std::string& address)> openAddress;
};

// The seams in force; they start as the real dialogs and opener.
DialogSeams& Dialogs();

// "Tovalin 澜页": the taskbar's text and the caption of the plain and error message boxes. It is
// not given to Qt as the application's display name, which Qt would append to every caption
// (the update question's caption is exactly "温馨提醒").
QString ApplicationTitle();
