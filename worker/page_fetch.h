#pragma once
// Fetching one page for a worker: one try, then repeats at once, all through the same getter
// (one HTTP client). The topic load and the announcement feed both fetch this way.

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

// One GET: returns the body bytes or throws on any failed request.
using TPageGetter = std::function<std::string(const std::string& address)>;

// Raised by a step of a load that nobody wants any more (a newer load started, the window
// went): it ends the load at once and is never counted as a failed try.
class ELoadStopped : public std::runtime_error {
  public:
    ELoadStopped() : std::runtime_error("the load was stopped") {}
};

// Repeats after a failed first try. There is no pause between tries; both workers give up after
// the same eleven quick failures (the announcement page is not worth a longer wait, and a topic
// page that failed eleven times in a row will not come on the twelfth).
inline constexpr int kMaxRepeats = 10;

struct TFetchResult {
    // The body of the first try that succeeded; nothing when every try failed.
    std::optional<std::string> Body;
    // The address of the last try (the one that succeeded, or the last that failed).
    std::string Address;
    // Why the last try failed, "ClassName: message" for network errors; empty on success.
    std::string Reason;
};

// Each try asks `address` afresh (a failure there counts as a failed try) and GETs it. Only
// ELoadStopped passes through, from either of them.
TFetchResult FetchWithRetries(const TPageGetter& get, const std::function<std::string()>& address);

// The error class and message of the exception being handled: "ENetSocketError: ...".
std::string DescribeCurrentError();
