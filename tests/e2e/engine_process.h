// The engine as a child process over pipes, driven the way a tournament manager drives it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tarn::testing {

// The command that starts the engine: TARN_ENGINE split on blanks when it is set (for example
// "wine build-windows/pbrain-tarn.exe"), otherwise the pbrain-tarn of this build.
std::vector<std::string> EngineCommand();

class EngineProcess {
public:
    // Starts the command with its standard input and output on pipes. Its standard error is
    // inherited, so anything the engine should not have written there stays visible.
    explicit EngineProcess(const std::vector<std::string>& command);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool Started() const { return pid_ > 0; }

    // Writes the text to the engine's standard input. False when the engine no longer reads.
    bool Write(const std::string& text);

    // Closes the engine's standard input: the end of its command stream.
    void CloseInput();

    // The next output line without its line end (LF or CRLF), or nullopt at the end of the
    // output or when no line is complete within the timeout. The timeout only guards against a
    // hang; it is far longer than any answer takes.
    std::optional<std::string> ReadLine(int timeout_ms = 20000);

    // True when the output ended (the engine closed it) within the timeout.
    bool OutputEnded(int timeout_ms = 20000);

    // Waits for the engine to exit and returns its exit status, or -1 if it did not exit
    // normally within the timeout.
    int WaitForExit(int timeout_ms = 20000);

private:
    bool Fill(int timeout_ms);

    pid_t pid_ = -1;
    int to_engine_ = -1;
    int from_engine_ = -1;
    bool output_ended_ = false;
    std::string pending_;
};

}  // namespace tarn::testing
