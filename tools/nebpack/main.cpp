// nebpack: checks component databases and builds, lists, checks and extracts archives and
// distribution sets.
#include <cstdio>
#include <cstring>

#include "verb.h"

namespace nebpack {

namespace {
std::vector<Verb>& Registry() {
    static std::vector<Verb> verbs;
    return verbs;
}

void Overview(std::FILE* out) {
    std::fprintf(out, "usage: nebpack VERB [OPTIONS] ARGS...\n\nverbs:\n");
    for (const Verb& v : Registry()) {
        std::fprintf(out, "  %-10s %s\n", v.name, v.synopsis);
    }
    std::fprintf(out, "\nThe set verbs read databases for a Windows version: --symbols A,B,C, or\n"
                      "--platform NAME (win95, win98, winme, nt3, nt4, win2000, winxp, ...) with\n"
                      "--processor NAME; check, check-db and pack also take --all-platforms, and\n"
                      "check --strict warns about what bites on a user's machine. pack, check,\n"
                      "extract, diff and medium show a progress line when standard error is a\n"
                      "terminal.\n"
                      "\n\"nebpack VERB --help\" explains a verb and all its options.\n");
}
} // namespace

VerbRegistration::VerbRegistration(const Verb& verb) {
    Registry().push_back(verb);
}

const std::vector<Verb>& Verbs() {
    return Registry();
}

} // namespace nebpack

int main(int argc, char** argv) {
    using namespace nebpack;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Overview(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const Verb& v : Verbs()) {
        if (std::strcmp(v.name, argv[1]) == 0) {
            std::vector<std::string> args(argv + 2, argv + argc);
            for (const std::string& a : args) {
                if (a == "--help" || a == "-h") {
                    std::fputs(v.help, stdout);
                    return 0;
                }
            }
            return v.run(args);
        }
    }
    std::fprintf(stderr, "nebpack: unknown verb '%s'\n", argv[1]);
    Overview(stderr);
    return 2;
}
