// The brain process: the command loop on the process's own standard streams.
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

#include "protocol/command_loop.h"

int main() {
#ifdef _WIN32
    // Windows managers send CRLF line ends. In text mode the C runtime would drop the CR
    // itself but also take any 0x1A byte as the end of the input; in binary mode every byte
    // arrives and the command loop drops the CR before LF as it does on every platform.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    return tarn::RunCommandLoop(std::cin, std::cout);
}
