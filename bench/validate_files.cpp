// Measures Configuration::Validate on large configurations (100,000 files by default).
//
// usage: bench_validate_files [FILES [REPEATS]]
// Prints one line per scenario: the best and the median time of REPEATS runs and the number of
// messages found, which must stay the same from run to run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "model/extension.h"

using namespace nebcm;

namespace {

std::unique_ptr<Core> MakeCore() {
    FileList files;
    files.push_back(std::make_unique<ExtensionFile>("njava.exe", ""));
    return std::make_unique<Core>(Version(2, 0), "NEB Core", "(c) Tessaly", std::move(files),
                                  "C:\\NEB\\20", "njava.exe");
}

// files spread over libraries of perExtension files each, every library depending on the one
// before it; when caseVariant is set every second library repeats the paths of the one before it
// with the letters upper-cased, so that half of all files conflict.
Configuration Build(std::size_t fileCount, std::size_t perExtension, bool caseVariant) {
    ExtensionList list;
    list.push_back(MakeCore());
    std::size_t made = 0;
    for (std::size_t e = 0; made < fileCount; ++e) {
        FileList files;
        std::size_t base = caseVariant ? (e / 2) * perExtension : made;
        for (std::size_t f = 0; f < perExtension && made < fileCount; ++f, ++made) {
            std::string path = "lib/ext" + std::to_string(base / perExtension) + "/classes/file" +
                               std::to_string(base + f) + ".class";
            if (caseVariant && e % 2 == 1) {
                std::transform(path.begin(), path.end(), path.begin(),
                               [](char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
            }
            files.push_back(std::make_unique<ExtensionFile>(std::move(path), ""));
        }
        DependencyList deps;
        if (e > 0) {
            deps.push_back(std::make_unique<Dependency>(ExtensionKind::Library,
                                                        "ext" + std::to_string(e - 1)));
        }
        list.push_back(std::make_unique<Library>(
            "ext" + std::to_string(e), Version(1, 0), "Extension", "(c) Tessaly", "neb/bench",
            std::move(files), std::move(deps), ExternalList()));
    }
    return Configuration(std::move(list));
}

void Measure(const char* name, const Configuration& config, int repeats) {
    std::vector<double> ms;
    std::size_t messages = 0;
    for (int r = 0; r < repeats; ++r) {
        ErrorList errors;
        auto start = std::chrono::steady_clock::now();
        config.Validate(errors);
        auto stop = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
        messages = errors.Count();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s extensions %7zu  best %9.2f ms  median %9.2f ms  messages %zu\n", name,
                config.Count(), ms.front(), ms[ms.size() / 2], messages);
}

} // namespace

int main(int argc, char** argv) {
    std::size_t files = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    if (files == 0 || repeats <= 0) {
        std::fprintf(stderr, "usage: bench_validate_files [FILES [REPEATS]]\n");
        return 2;
    }
    std::printf("%zu files, %d runs each\n", files, repeats);
    Measure("one library holding every file", Build(files, files, false), repeats);
    Measure("libraries of 100 files, chained", Build(files, 100, false), repeats);
    Measure("libraries of 1 file, chained", Build(files, 1, false), repeats);
    Measure("half the files differ only in case", Build(files, 100, true), repeats);
    return 0;
}
