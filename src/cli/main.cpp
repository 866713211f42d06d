// The console program: the command line without a window.
#include "base/large_block.h"
#include "cli/command_line.h"
#include "cli/program_platform.h"

#include <clocale>
#include <iostream>
#include <unistd.h>
#include <vector>

#ifdef _WIN32
#include "base/ansi_string.h"

#include "base/windows_sdk.h" // last: the SDK's macros
#include <shellapi.h>
#endif

namespace {

// The arguments as UTF-8. Windows hands main() the ANSI code page's rendering, which loses
// the characters the code page lacks; the wide command line keeps them.
std::vector<std::string> Arguments(int argc, char* argv[]) {
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i)
            arguments.push_back(kestrune::WideToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
        LocalFree(wide);
        return arguments;
    }
#endif
    return {argv + 1, argv + argc};
}

int Run(int argc, char* argv[]) {
    using namespace kestrune;
    // The restore log's time stamps in the user's date and time format.
    std::setlocale(LC_TIME, "");
    if (!InstallProgramPlatform(std::cerr)) return 1;
    return RunCommandLine(Arguments(argc, argv),
                          {std::cout, std::cerr, isatty(2) != 0, isatty(1) != 0});
}

} // namespace

int main(int argc, char* argv[]) {
    kestrune::ReturnLargeBlocksWhenFreed();
#ifdef _WIN32
    // Messages are UTF-8; a console shows them so only when told (and is given back as it was).
    UINT previous = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    int status = Run(argc, argv);
    if (previous) SetConsoleOutputCP(previous);
    return status;
#else
    return Run(argc, argv);
#endif
}
