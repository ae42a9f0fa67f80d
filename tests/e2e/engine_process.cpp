#include "tests/e2e/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <utility>

namespace tarn::testing {

std::vector<std::string> EngineCommand() {
    std::vector<std::string> command;
    if (const char* engine = std::getenv("TARN_ENGINE"); engine && *engine) {
        std::istringstream words(engine);
        std::string word;
        while (words >> word) command.push_back(word);
    } else {
        command.push_back(TARN_ENGINE_PATH);
    }
    return command;
}

EngineProcess::EngineProcess(const std::vector<std::string>& command) {
    // A write to an engine that has already exited must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int input[2], output[2];
    if (pipe(input) != 0) return;
    if (pipe(output) != 0) {
        close(input[0]);
        close(input[1]);
        return;
    }
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        close(input[0]);
        close(input[1]);
        close(output[0]);
        close(output[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    to_engine_ = input[1];
    from_engine_ = output[0];
    fcntl(to_engine_, F_SETFD, FD_CLOEXEC);
    fcntl(from_engine_, F_SETFD, FD_CLOEXEC);
}

EngineProcess::~EngineProcess() {
    CloseInput();
    if (from_engine_ >= 0) close(from_engine_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool EngineProcess::Write(const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(to_engine_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

void EngineProcess::CloseInput() {
    if (to_engine_ >= 0) close(to_engine_);
    to_engine_ = -1;
}

// Reads what the engine has written so far into pending_, waiting at most timeout_ms for the
// first byte. False when nothing arrived.
bool EngineProcess::Fill(int timeout_ms) {
    if (output_ended_) return false;
    pollfd ready{from_engine_, POLLIN, 0};
    int polled;
    do polled = poll(&ready, 1, timeout_ms);
    while (polled < 0 && errno == EINTR);
    if (polled <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(from_engine_, buffer, sizeof buffer);
    if (n <= 0) {
        output_ended_ = true;
        return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> EngineProcess::ReadLine(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Fill(static_cast<int>(left.count()))) break;
    }
    // Output that ends without a line end is still handed back, so a test sees it.
    if (output_ended_ && !pending_.empty()) return std::exchange(pending_, std::string());
    return std::nullopt;
}

bool EngineProcess::OutputEnded(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!output_ended_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        Fill(static_cast<int>(left.count()));
    }
    return true;
}

int EngineProcess::WaitForExit(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 || std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace tarn::testing
