#include "CommandLine.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return quillora::cli::CommandLine(std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0).run(argc, argv);
}
