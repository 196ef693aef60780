#pragma once
// How an export ends: its exit status, whether anything is written, and the lines it tells on
// standard error. Every line starts with the tool's name and names the address it is about.

#include <string>
#include <vector>

#include "tools/export/topic_export.h"

// Exit statuses, as --help and the manual list them.
inline constexpr int kExitWhole = 0;      // the whole topic was written
inline constexpr int kExitFailed = 1;     // nothing fetched, or the output could not be written
inline constexpr int kExitUsage = 2;      // a bad command line
inline constexpr int kExitPartial = 3;    // written, but a page gave up, was cut short, or the
                                          // load was stopped (time-out, SIGINT, SIGTERM)
inline constexpr int kExitNotATopic = 4;  // the first page is not a topic page; nothing written

struct TExportOutcome {
    int ExitStatus = kExitWhole;
    bool Write = true;
    std::vector<std::string> Messages;  // lines for standard error, without line ends
};

// `stoppedBy` names what ended the load early ("SIGINT"), empty when it ran to its end.
TExportOutcome DecideOutcome(const std::string& tool, const std::string& address,
                             const TTopicExport& topic, const std::string& stoppedBy);
