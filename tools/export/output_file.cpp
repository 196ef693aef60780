#include "tools/export/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Large writes go out in few system calls; a topic's output is written piece by piece.
constexpr std::size_t kWriteBufferBytes = 1 << 16;

std::string Describe(const std::string& name, int error) {
    return name + ": " + std::strerror(error);
}

}  // namespace

TExportOutput::TExportOutput(std::string path) : path_(std::move(path)) {
    if (path_ == "-") {
        path_.clear();
    }
}

TExportOutput::~TExportOutput() {
    Discard();
}

std::string TExportOutput::Name() const {
    return path_.empty() ? "standard output" : path_;
}

bool TExportOutput::Open(std::string& error) {
    if (path_.empty()) {
        file_ = stdout;
        return true;
    }
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        // A device or a pipe (/dev/stdout, /dev/full, a FIFO) is written as it is: there is no
        // file to replace, and renaming over a device would remove it.
        file_ = std::fopen(path_.c_str(), "w");
        if (file_ == nullptr) {
            error = Describe(path_, errno);
            return false;
        }
        return true;
    }
    temporary_ = path_ + ".XXXXXX";
    std::vector<char> name(temporary_.begin(), temporary_.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = Describe(path_, errno);
        temporary_.clear();
        return false;
    }
    temporary_.assign(name.data());
    // mkstemp makes the file private; the result gets the mode a newly created file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "w");
    if (file_ == nullptr) {
        error = Describe(path_, errno);
        ::close(fd);
        Discard();
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kWriteBufferBytes);
    return true;
}

void TExportOutput::Write(std::string_view piece) {
    if (error_ != 0 || file_ == nullptr || piece.empty()) {
        return;
    }
    if (std::fwrite(piece.data(), 1, piece.size(), file_) != piece.size()) {
        error_ = errno != 0 ? errno : EIO;
    }
}

bool TExportOutput::Commit(std::string& error) {
    if (file_ == nullptr) {
        error = Name() + ": not open";
        return false;
    }
    if (error_ == 0 && std::fflush(file_) != 0) {
        error_ = errno != 0 ? errno : EIO;
    }
    if (file_ == stdout) {
        file_ = nullptr;
        if (error_ != 0) {
            error = Describe(Name(), error_);
            return false;
        }
        return true;
    }
    if (error_ == 0 && !temporary_.empty() && ::fsync(::fileno(file_)) != 0) {
        error_ = errno;
    }
    if (std::fclose(file_) != 0 && error_ == 0) {
        error_ = errno != 0 ? errno : EIO;
    }
    file_ = nullptr;
    if (error_ == 0 && !temporary_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = errno;
    }
    if (error_ != 0) {
        error = Describe(path_, error_);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void TExportOutput::Discard() {
    if (file_ != nullptr && file_ != stdout) {
        std::fclose(file_);
    }
    file_ = nullptr;
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}
