#include "cli/options.h"

#include <charconv>

namespace kestrune {

Options ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    int actions = 0;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--") {
            options.positional.insert(options.positional.end(), arguments.begin() + i + 1,
                                      arguments.end());
            break;
        }
        if (a.rfind("--", 0) != 0) {
            options.positional.push_back(a);
            continue;
        }
        auto fileOf = [&](std::string& target) {
            ++actions;
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                options.error = a + " needs a file name";
            else
                target = arguments[++i];
        };
        if (a == "--help")
            options.help = true;
        else if (a == "--version")
            options.version = true;
        else if (a == "--quiet")
            options.quiet = true;
        else if (a == "--dry-run")
            options.dryRun = true;
        else if (a == "--check-targets")
            options.checkTargets = true;
        else if (a == "--properties")
            options.properties = true;
        else if (a == "--forest")
            options.forest = true;
        else if (a == "--servers") {
            ++actions;
            options.servers = true;
        } else if (a == "--history")
            options.history = true;
        else if (a == "--format") {
            if (i + 1 >= arguments.size() ||
                (arguments[i + 1] != "text" && arguments[i + 1] != "csv"))
                options.error = "--format needs text or csv";
            else
                options.format = arguments[++i];
        } else if (a == "--as" || a == "--map-server") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                options.error = a + (a == "--as" ? " needs a namespace, \\\\DOMAIN\\NAMESPACE"
                                                 : " needs OLD=NEW");
            else if (a == "--as")
                options.as = arguments[++i];
            else
                options.mapServer.push_back(arguments[++i]);
        } else if (a == "--restore")
            fileOf(options.restore);
        else if (a == "--compare")
            fileOf(options.compare);
        else if (a == "--verify")
            fileOf(options.verify);
        else if (a == "--keep") {
            const std::string number = i + 1 < arguments.size() ? arguments[++i] : std::string();
            int value = 0;
            auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), value);
            if (error != std::errc() || end != number.data() + number.size() || value < 1)
                options.error = "--keep needs a number of copies, 1 or more" +
                                (number.empty() ? std::string() : ", not \"" + number + "\"");
            else
                options.keep = value;
        } else if (a == "--export-dfsutil") {
            ++actions;
            if (i + 2 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 2].empty())
                options.error = "--export-dfsutil needs the backup file and the export to write";
            else {
                options.exportFrom = arguments[++i];
                options.exportTo = arguments[++i];
            }
        } else if (a == "--diff") {
            ++actions;
            if (i + 2 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 2].empty())
                options.error = "--diff needs two file names, the old one and the new one";
            else {
                options.diffOld = arguments[++i];
                options.diffNew = arguments[++i];
            }
        } else
            options.error = "unknown option " + a;
        if (!options.error.empty()) return options;
    }
    if (actions > 1)
        options.error =
            "--restore, --compare, --verify, --diff, --servers and --export-dfsutil cannot be "
            "combined";
    else if (options.forest && (actions > 0 || options.positional.size() != 2))
        options.error = "--forest goes with PREFIX FOLDER alone: every domain of the forest is "
                        "backed up";
    else if (options.servers && options.positional.empty())
        options.error = "--servers needs backup files or folders";
    else if ((options.history || !options.format.empty()) && !options.servers)
        options.error = "--history and --format go with --servers";
    else if (options.dryRun && options.restore.empty())
        options.error = "--dry-run goes with --restore";
    else if ((!options.as.empty() || !options.mapServer.empty()) && options.restore.empty() &&
             options.compare.empty() && options.verify.empty())
        options.error = "--as and --map-server go with --restore, --compare or --verify";
    else if (options.properties && options.restore.empty())
        options.error = "--properties goes with --restore";
    else if (options.checkTargets && !options.dryRun && options.verify.empty() && !options.servers)
        options.error = "--check-targets goes with --restore FILE --dry-run, --verify FILE or "
                        "--servers";
    else if (options.keep > 0 && actions > 0)
        options.error = "--keep goes with a backup (PREFIX FOLDER)";
    else if (actions == 1 && !options.servers && !options.positional.empty())
        options.error = "unexpected argument " + options.positional.front();
    return options;
}

} // namespace kestrune
