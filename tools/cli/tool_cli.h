#pragma once
// What every command-line tool of Tovalin does with its arguments: CLI11 parses them; --help goes
// to standard output with exit 0, --version prints the program's version, and any other parse
// failure (an unknown option, a missing or malformed argument) is one line "tool: message" on
// standard error with exit 2, as Debian users expect of a command.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>

namespace tovalin::cli {

// Exit status of a command line the tool cannot run with.
inline constexpr int kExitUsage = 2;

inline const char* Version() {
    return TOVALIN_VERSION;
}

// Sets the tool's --version flag: "tool VERSION".
inline void AddVersion(CLI::App& app, const std::string& tool) {
    app.set_version_flag("--version", tool + " " + Version(), "Print the version and exit");
}

// Parses argv. Returns the exit status when the tool should end now (help or version shown: 0;
// a bad command line: kExitUsage, with its message on stderr), nothing when it should go on.
inline std::optional<int> Parse(CLI::App& app, const std::string& tool, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", tool.c_str(),
                     e.what(), tool.c_str());
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace tovalin::cli
