#pragma once
// The default error display: an error that escapes an event handler on the main thread is shown
// in a stop-icon box captioned with the application title, and the application keeps running.
// Event handlers are invoked through Guarded so that no exception ever crosses the event loop.

#include <QString>
#include <exception>
#include <functional>
#include <stdexcept>

// The silent kind of error: it ends the handler that raised it and shows nothing.
class EAbort : public std::runtime_error {
  public:
    EAbort() : std::runtime_error("Operation aborted") {}
};

// The text the display shows for a message: "." is appended when the message is not empty and
// its last character sorts above "." (letters, digits, "?", any Chinese character, ...).
QString ErrorDisplayText(const QString& message);

// Shows the error held by `error` through Dialogs().showError (nothing for EAbort).
void ShowException(const std::exception_ptr& error);

// Runs one event handler; whatever it throws goes to the default error display.
void Guarded(const std::function<void()>& handler);
