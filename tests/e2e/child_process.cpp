#include "tests/e2e/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tovalin::e2e {

namespace {

// A program asked to stop gets this long before it is killed.
constexpr std::chrono::milliseconds kStopGrace{3000};

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           const std::map<std::string, std::string>& env,
                           const std::string& logPath) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) {
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : env) {
        if (value.empty()) {
            merged.erase(name);
        } else {
            merged[name] = value;
        }
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : merged) {
        envText.push_back(name + "=" + value);
    }
    std::vector<char*> rawEnv;
    for (std::string& e : envText) {
        rawEnv.push_back(e.data());
    }
    rawEnv.push_back(nullptr);
    std::vector<char*> rawArgv;
    for (std::string& a : argv) {
        rawArgv.push_back(a.data());
    }
    rawArgv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int rc =
        ::posix_spawn(&pid_, rawArgv[0], &actions, nullptr, rawArgv.data(), rawEnv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    Stop();
}

bool ChildProcess::Running() {
    return !WaitForExit(std::chrono::milliseconds(0)).has_value();
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!status_) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
}

void ChildProcess::Stop() {
    if (status_ || pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(kStopGrace)) {
        ::kill(pid_, SIGKILL);
        WaitForExit(kStopGrace);
    }
}

std::string RunCommand(const std::string& command, int* status) {
    // Every helper command of these tests is quick; a hung one must not hang the test.
    const std::string bounded = "timeout 30 " + command;
    FILE* pipe = ::popen(bounded.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string output;
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0) {
        output.append(block, n);
    }
    const int rc = ::pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    return output;
}

bool HaveProgram(const std::string& program) {
    int status = 0;
    RunCommand("sh -c 'command -v " + program + "' >/dev/null 2>&1", &status);
    return status == 0;
}

}  // namespace tovalin::e2e
