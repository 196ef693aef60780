#include "worker/page_fetch.h"

#include "net/net_exceptions.h"

std::string DescribeCurrentError() {
    try {
        throw;
    } catch (const ENetException& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

TFetchResult FetchWithRetries(const TPageGetter& get, const std::function<std::string()>& address) {
    TFetchResult result;
    for (int attempt = 0; attempt <= kMaxRepeats; ++attempt) {
        try {
            result.Address = address();
            result.Body = get(result.Address);
            result.Reason.clear();
            return result;
        } catch (const ELoadStopped&) {
            throw;
        } catch (...) {
            // A failed try only counts; the caller decides what giving up means.
            result.Reason = DescribeCurrentError();
        }
    }
    return result;
}
