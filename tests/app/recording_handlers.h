#pragma once
// Stand-ins for the topic and ticker handlers of the window: each call is written to a log, so
// the window tests see exactly what the window's event routing delivers.

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

struct RecordedCall {
    std::string handler;
    QObject* sender = nullptr;
    int key = 0;  // the key character or key code, where the handler takes one
};

std::vector<RecordedCall>& RecordedCalls();

// When set, the named handler runs this inside its call (to throw, or to swallow a key).
extern std::function<void(const std::string& handler, QChar* key)> RecordedHandlerAction;
