#include "tests/tools/site_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tovalin::test {

namespace {

// The site prints its address as soon as it listens; this is generous for a loaded machine.
constexpr std::chrono::milliseconds kStartWait{10000};
// Long enough for any one test, short enough that a crashed test leaves nothing running.
constexpr const char* kTestIdleExitSeconds = "60";

}  // namespace

std::string SampleSiteProcess::Binary() {
    return TOVALIN_SAMPLE_SITE_BINARY;
}

SampleSiteProcess::SampleSiteProcess(std::vector<std::string> args) {
    std::vector<std::string> argv{Binary(), "--port", "0"};
    if (std::find(args.begin(), args.end(), "--idle-exit") == args.end()) {
        argv.insert(argv.end(), {"--idle-exit", kTestIdleExitSeconds});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + Binary());
    }

    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char c;
        if (::read(out[0], &c, 1) != 1) {
            break;
        }
        line += c;
    }
    ::close(out[0]);
    scheme_ = line.rfind("https:", 0) == 0 ? "https" : "http";
    const std::string prefix = scheme_ + "://127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        reaped_ = true;
        throw std::runtime_error("sample site printed no address: '" + line + "'");
    }
    port_ = std::stoi(line.substr(prefix.size()));
}

SampleSiteProcess::~SampleSiteProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string SampleSiteProcess::Base() const {
    return scheme_ + "://127.0.0.1:" + std::to_string(port_);
}

std::optional<int> SampleSiteProcess::WaitForExit(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!reaped_) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

}  // namespace tovalin::test
