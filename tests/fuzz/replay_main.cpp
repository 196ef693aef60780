// Runs a fuzz target over files without libFuzzer, so the seed corpus and every input that once
// crashed run as an ordinary test in every build. Arguments: files or folders (a missing folder
// is skipped: a target may have no regressions yet).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the file's size, so a read past the end is caught by the sanitizer.
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file())
                    count += RunFile(entry.path());
            }
        } else if (std::filesystem::is_regular_file(path)) {
            count += RunFile(path);
        }
    }
    std::printf("%d inputs ran clean\n", count);
    return count > 0 ? 0 : 1;
}
