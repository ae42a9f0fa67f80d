// The brain process: the command loop on the process's own standard streams.
#include <iostream>

#include "protocol/command_loop.h"

int main() {
    std::ios::sync_with_stdio(false);
    return tarn::RunCommandLoop(std::cin, std::cout);
}
