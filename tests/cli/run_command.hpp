// Runs a command through the shell and captures its standard output, standard
// error and exit status, for tests of the ngtherm command.
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
#include <string_view>
#include <vector>

namespace ngtherm::test {

struct CommandResult {
    int exit_code = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

inline std::string shell_quote(std::string_view arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// A fresh empty file for the standard error of one command.
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

// Runs args[0] with the other arguments (no shell expansion), stdin empty.
inline CommandResult run_command(const std::vector<std::string>& args) {
    const std::filesystem::path err_path = make_temp_file();
    std::string command;
    for (const std::string& arg : args) command += shell_quote(arg) + " ";
    command += "</dev/null 2>" + shell_quote(err_path.string());

    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exit_code = 128 + WTERMSIG(status);
    }
    result.err = read_file(err_path);
    std::filesystem::remove(err_path);
    return result;
}

#ifdef NGTHERM_CLI_PATH
// Runs the built ngtherm command with the given arguments.
inline CommandResult run_ngtherm(const std::vector<std::string>& args) {
    std::vector<std::string> all{NGTHERM_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return run_command(all);
}
#endif

}  // namespace ngtherm::test
