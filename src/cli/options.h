// The command line taken apart: options begin with "--", everything after a lone "--" is
// positional.
#pragma once

#include <string>
#include <vector>

namespace kestrune {

struct Options {
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool dryRun = false;
    bool checkTargets = false; // --check-targets: ask the targets' file servers for their shares
    bool properties = false;   // --properties: a restore sets existing links' properties too
    std::string restore;       // FILE of --restore
    std::string compare;       // FILE of --compare
    std::string verify;        // FILE of --verify
    std::string diffOld;       // OLD and NEW of --diff
    std::string diffNew;
    std::string exportFrom; // FILE and OUT of --export-dfsutil
    std::string exportTo;
    bool forest = false;                // --forest PREFIX FOLDER: every domain of the forest
    bool servers = false;               // --servers FILE|FOLDER...: the report by file server
    bool history = false;               // --history: --servers also reads history copies
    std::string format;                 // --format text|csv of --servers
    int keep = 0;                       // N of --keep; 0 without it
    std::string as;                     // --as \\DOMAIN\NAMESPACE
    std::vector<std::string> mapServer; // each OLD=NEW of --map-server
    std::vector<std::string> positional;
    std::string error; // why the command line is not usable; empty when it is
};

Options ParseOptions(const std::vector<std::string>& arguments);

} // namespace kestrune
