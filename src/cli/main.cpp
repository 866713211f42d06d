// The console program: the command line without a window.
#include "cli/command_line.h"
#include "platform/platform.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

int main(int argc, char* argv[]) {
    using namespace kestrune;
    std::string error;
    if (!InstallPlatformFromEnvironment(error)) {
        std::cerr << "kestrune: " << error << "\n";
        return 1;
    }
    return RunCommandLine({argv + 1, argv + argc}, {std::cout, std::cerr, isatty(2) != 0});
}
