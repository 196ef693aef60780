#pragma once
// Where the export writes: standard output, or a file that appears whole or not at all. A file
// is written through a temporary file beside it and renamed into place once every byte is on
// disk; a failed run leaves no file behind (and an existing one untouched). Every write is
// checked: a full disk or a closed pipe fails the run.

#include <cstdio>
#include <string>
#include <string_view>

class TExportOutput {
  public:
    // An empty path or "-" means standard output.
    explicit TExportOutput(std::string path);
    ~TExportOutput();
    TExportOutput(const TExportOutput&) = delete;
    TExportOutput& operator=(const TExportOutput&) = delete;

    // Opens the target; false with the reason in error ("FILE: message").
    bool Open(std::string& error);
    // Writes a piece; after the first failure the rest are skipped.
    void Write(std::string_view piece);
    // Finishes: flushes, and for a file syncs, closes and renames it into place. False with the
    // reason in error; the temporary file is then removed.
    bool Commit(std::string& error);

    // What the messages call the target.
    std::string Name() const;

  private:
    void Discard();

    std::string path_;
    std::string temporary_;  // empty when writing straight to the target
    std::FILE* file_ = nullptr;
    int error_ = 0;  // errno of the first failed write
};
