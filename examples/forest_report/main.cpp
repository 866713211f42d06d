// Opens a simulated domain and prints the forest's domains, every user of a group (nested
// groups followed) and the sites.
//   forest_report DOMAIN.ldif [GROUP-DN]
#include <directory/tntads.h>
#include <platform/platform.h>

#include <cstdio>
#include <memory>

using namespace kestrune;

static void Print(const char* title, const TStringList& list) {
    std::printf("%s:\n", title);
    for (int i = 0; i < list.Count(); ++i)
        std::printf("  %s\n", list[i].c_str());
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: forest_report DOMAIN.ldif [GROUP-DN]\n");
        return 2;
    }
    if (Expected<void> installed = InstallSimulatedDomain(argv[1]); !installed) {
        std::fprintf(stderr, "%s\n", installed.error().text.c_str());
        return 1;
    }
    TNTADS ads;
    if (ads.LastError() != 0) {
        std::fprintf(stderr, "no directory: %s\n", WideToAnsi(ads.LastMessage()).c_str());
        return 1;
    }
    std::printf("domain: %s\n", WideToAnsi(ads.Domain()).c_str());
    std::unique_ptr<TStringList> domains(ads.GetDomains("", false));
    Print("domains", *domains);
    if (argc > 2) {
        std::unique_ptr<TStringList> users(ads.GetAllusers(std::string("LDAP://") + argv[2]));
        Print("users", *users);
    }
    ads.GetSites();
    Print("sites", *ads.Sites());
    return 0;
}
