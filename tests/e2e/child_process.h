#pragma once
// A program started by an end-to-end test: its own environment, its output into a log file,
// waits that always end, and a stop by its process id.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tovalin::e2e {

class ChildProcess {
  public:
    // Starts argv[0] (a path) with the current environment changed by `env` (an empty value
    // removes the variable); stdout and stderr go to `logPath`. Throws std::runtime_error.
    ChildProcess(std::vector<std::string> argv, const std::map<std::string, std::string>& env,
                 const std::string& logPath);
    ~ChildProcess();  // SIGTERM, then SIGKILL if it does not end
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // The exit status (128 + signal when killed), or nothing when it still runs after `wait`.
    std::optional<int> WaitForExit(std::chrono::milliseconds wait);
    void Stop();

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs a shell command line with a bounded time and returns its standard output; the exit
// status goes to `status` when given.
std::string RunCommand(const std::string& command, int* status = nullptr);

// True when `program` is found on PATH.
bool HaveProgram(const std::string& program);

}  // namespace tovalin::e2e
