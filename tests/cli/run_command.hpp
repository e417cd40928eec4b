// Runs the ngtherm command through the shell: its output, error output and exit status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ngtherm::test {

struct CommandResult {
    int exit_code = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// A fresh empty file.
inline std::filesystem::path make_temp_file() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ngtherm_test_XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd >= 0) close(fd);
    return pattern;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#ifdef NGTHERM_CLI_PATH
// Runs the built command with `args` (each single-quoted, so nothing expands), stdin empty.
inline CommandResult run_ngtherm(const std::vector<std::string>& args) {
    const std::filesystem::path err_path = make_temp_file();
    std::string command = "'" NGTHERM_CLI_PATH "'";
    for (const std::string& arg : args) {
        command += " '";
        for (const char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    command += " </dev/null 2>'" + err_path.string() + "'";
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    result.err = read_file(err_path);
    std::filesystem::remove(err_path);
    return result;
}
#endif

}  // namespace ngtherm::test
