// The engine inside the page's Web Worker. The worker hands over each complete chunk of command
// lines the page sends (a BOARD block always whole, up to DONE); the commands run over it on the
// one session the page plays on, and their answers go to standard output, which the worker posts
// to the page line by line as they are flushed, so the search report arrives while the search
// runs. The game and the settings live on between chunks.
#include <emscripten/emscripten.h>

#include <iostream>
#include <sstream>

#include "protocol/command_loop.h"
#include "protocol/session.h"

namespace {

tarn::Session& PageSession() {
    static tarn::Session session;
    return session;
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void tarn_run_commands(const char* lines) {
    std::istringstream in(lines);
    tarn::RunCommands(PageSession(), in, std::cout);
}
