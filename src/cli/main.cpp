// The console program: the command line without a window.
#include "cli/command_line.h"
#include "platform/platform.h"

#include <clocale>
#include <cstdio>
#include <iostream>
#include <unistd.h>

int main(int argc, char* argv[]) {
    using namespace kestrune;
    // The restore log's time stamps in the user's date and time format.
    std::setlocale(LC_TIME, "");
    std::string error;
    if (!InstallPlatformFromEnvironment(error)) {
        std::cerr << "kestrune: " << error << "\n";
        return 1;
    }
    return RunCommandLine({argv + 1, argv + argc},
                          {std::cout, std::cerr, isatty(2) != 0, isatty(1) != 0});
}
