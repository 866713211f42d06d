// Writes the generated benchmark forest: write_namespace_ldif FILE [LINKS] (50,000 by default).
#include "namespace_ldif.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: write_namespace_ldif FILE [LINKS]\n");
        return 2;
    }
    int links = argc > 2 ? std::atoi(argv[2]) : 50000;
    kestrune::bench::WriteNamespaceLdif(argv[1], links);
    return 0;
}
