// Runs the built ngtherm command: its output, error output and exit status,
// with stdout captured, on a full disk or on a pipe nobody reads.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
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

enum class Stdout {
    captured,     // read into CommandResult::out
    full_disk,    // /dev/full: every write fails with ENOSPC
    closed_pipe,  // a pipe whose read end is closed: every write fails with EPIPE
};

#ifdef NGTHERM_CLI_PATH
// Runs the built command with `args`, stdin empty.
inline CommandResult run_ngtherm(const std::vector<std::string>& args, Stdout stdout_to = Stdout::captured) {
    const std::filesystem::path err_path = make_temp_file();
    std::array<int, 2> out_pipe{-1, -1};
    if (stdout_to != Stdout::full_disk && pipe(out_pipe.data()) != 0) return {};
    if (stdout_to == Stdout::closed_pipe) close(out_pipe[0]);
    std::vector<char*> argv{const_cast<char*>(NGTHERM_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(stdout_to == Stdout::full_disk ? open("/dev/full", O_WRONLY) : out_pipe[1], 1);
        dup2(open(err_path.c_str(), O_WRONLY | O_TRUNC), 2);
        if (stdout_to == Stdout::captured) close(out_pipe[0]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (out_pipe[1] >= 0) close(out_pipe[1]);
    CommandResult result;
    if (stdout_to == Stdout::captured) {
        std::array<char, 4096> buffer{};
        for (ssize_t n; (n = read(out_pipe[0], buffer.data(), buffer.size())) > 0;) result.out.append(buffer.data(), n);
        close(out_pipe[0]);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    result.err = read_file(err_path);
    std::filesystem::remove(err_path);
    return result;
}
#endif

}  // namespace ngtherm::test
