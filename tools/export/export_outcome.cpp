#include "tools/export/export_outcome.h"

#include "tools/export/export_text.h"

TExportOutcome DecideOutcome(const std::string& tool, const std::string& address,
                             const TTopicExport& topic, const std::string& stoppedBy) {
    TExportOutcome outcome;
    // Addresses reach a terminal: what a site or a command line put in them must not act there.
    // One line each: a reason's own line breaks ("Socket Error # 10061\r\nConnection refused.")
    // become spaces.
    const auto line = [&tool](const std::string& about, const std::string& what) {
        std::string text = tool + ": " + about + ": ";
        for (std::size_t i = 0; i < what.size(); ++i) {
            if (what[i] == '\r' || what[i] == '\n') {
                if (what[i] == '\r' && i + 1 < what.size() && what[i + 1] == '\n') {
                    ++i;
                }
                text += ' ';
            } else {
                text += what[i];
            }
        }
        return ReplaceControls(text);
    };
    if (topic.Pages.empty()) {
        outcome.ExitStatus = kExitFailed;
        outcome.Write = false;
        if (!topic.PagesGivenUp.empty()) {
            outcome.Messages.push_back(
                line(address, "could not fetch the topic: " + topic.PagesGivenUp.front().Reason));
        } else {
            outcome.Messages.push_back(line(
                address, "could not fetch the topic: stopped by " +
                             (stoppedBy.empty() ? std::string("an unknown cause") : stoppedBy)));
        }
        return outcome;
    }
    if (!topic.IsTopic) {
        outcome.ExitStatus = kExitNotATopic;
        outcome.Write = false;
        outcome.Messages.push_back(
            line(address, "not a topic page (no starter and opening post found); nothing written"));
        return outcome;
    }
    for (const TPageProblem& page : topic.PagesGivenUp) {
        outcome.Messages.push_back(line(page.Address, "page gave up: " + page.Reason));
    }
    for (const std::string& page : topic.PagesMalformed) {
        outcome.Messages.push_back(
            line(page, "page cut short: it held more fragments than a page can"));
    }
    if (!stoppedBy.empty()) {
        outcome.Messages.push_back(line(
            address,
            "stopped by " + stoppedBy + " after " + std::to_string(topic.Pages.size()) + " pages"));
    }
    if (!outcome.Messages.empty()) {
        outcome.ExitStatus = kExitPartial;
        outcome.Messages.push_back(line(address, "the topic is incomplete: wrote the posts of " +
                                                     std::to_string(topic.Pages.size()) +
                                                     " pages"));
    }
    return outcome;
}
