#include "core/platform/notify_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

extern char** environ;

namespace quillrun {

std::vector<std::string> SplitCommandWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return {};
    if (inWord)
        words.push_back(word);
    return words;
}

namespace {

// The child's environment: ours with the given variables put in (or in place).
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& environment) {
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& item : environment)
            replaced = replaced || entry.compare(0, item.first.size() + 1, item.first + "=") == 0;
        if (!replaced)
            variables.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        variables.push_back(name + "=" + value);
    return variables;
}

// In the forked child: a group of its own (so that what it starts is ended with it), standard
// error to the pipe, the rest to /dev/null; never returns.
[[noreturn]] void StartChild(int errorPipe, char** argv, char** envp) {
    ::setpgid(0, 0);
    ::dup2(errorPipe, 2);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
    }
    ::signal(SIGPIPE, SIG_DFL);
    ::execvpe(argv[0], argv, envp);
    const char text[] = "cannot start the command\n";
    (void)!::write(2, text, sizeof text - 1);
    ::_exit(127);
}

// Waits for the child until the deadline (then ends its group), reading what it writes on
// standard error meanwhile; its wait status.
int WaitForChild(pid_t child, int errorPipe, int limitMilliseconds, CommandResult& result,
                 std::string& error) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMilliseconds);
    bool open = true;
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return status;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            ::kill(-child, SIGKILL);
            ::waitpid(child, &status, 0);
            result.killed = true;
            return status;
        }
        if (!open) {
            ::usleep(20000);
            continue;
        }
        pollfd p{errorPipe, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) > 0) {
            char buffer[512];
            ssize_t n = ::read(errorPipe, buffer, sizeof buffer);
            if (n > 0 && error.size() < 4096)
                error.append(buffer, static_cast<std::size_t>(n));
            else if (n <= 0)
                open = false;
        }
    }
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& words,
                         const std::vector<std::pair<std::string, std::string>>& environment,
                         int limitMilliseconds) {
    CommandResult result;
    if (words.empty())
        return result;
    // Everything the child needs is made before the fork: after it, in a program with threads,
    // the child may only call what is safe in a signal handler.
    std::vector<std::string> variables = ChildEnvironment(environment);
    std::vector<char*> envp;
    for (std::string& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    int errors[2];
    if (::pipe2(errors, O_CLOEXEC) != 0)
        return result;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(errors[0]);
        ::close(errors[1]);
        return result;
    }
    if (child == 0)
        StartChild(errors[1], argv.data(), envp.data());
    ::setpgid(child, child);
    ::close(errors[1]);
    result.started = true;
    std::string error;
    int status = WaitForChild(child, errors[0], limitMilliseconds, result, error);
    // What it wrote before it ended.
    ::fcntl(errors[0], F_SETFL, O_NONBLOCK);
    char buffer[512];
    ssize_t n;
    while (error.size() < 4096 && (n = ::read(errors[0], buffer, sizeof buffer)) > 0)
        error.append(buffer, static_cast<std::size_t>(n));
    ::close(errors[0]);
    if (!result.killed && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    result.errorLine = error.substr(0, error.find('\n'));
    return result;
}

}  // namespace quillrun
