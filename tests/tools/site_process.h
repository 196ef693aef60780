#pragma once
// Runs the real tovalin-sample-site binary for a test: starts it on a free port, reads the base
// address it prints first, and ends it (by its process id) when the test is done.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tovalin::test {

class SampleSiteProcess {
  public:
    // Adds "--port 0" and, unless `args` names one, a short "--idle-exit" so a test that dies
    // leaves no server behind for long. Throws std::runtime_error when the site does not start.
    explicit SampleSiteProcess(std::vector<std::string> args = {});
    ~SampleSiteProcess();
    SampleSiteProcess(const SampleSiteProcess&) = delete;
    SampleSiteProcess& operator=(const SampleSiteProcess&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" (https when serving TLS), without a trailing slash.
    std::string Base() const;
    std::string Url(const std::string& path) const { return Base() + path; }
    pid_t Pid() const { return pid_; }

    // Waits for the process to end by itself; its exit status, or nothing when it still runs.
    std::optional<int> WaitForExit(std::chrono::milliseconds wait);

    // Path of the binary under test.
    static std::string Binary();

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string scheme_ = "http";
    bool reaped_ = false;
};

}  // namespace tovalin::test
