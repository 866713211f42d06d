#include "app/command_line.h"

namespace kestrune {
namespace {
std::vector<AnsiString>& Arguments() {
    static std::vector<AnsiString> arguments;
    return arguments;
}
} // namespace

void SetCommandLineArguments(std::vector<AnsiString> arguments) {
    Arguments() = std::move(arguments);
}
const std::vector<AnsiString>& CommandLineArguments() {
    return Arguments();
}

} // namespace kestrune
