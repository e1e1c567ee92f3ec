// Making installation media: copying the programs and the set, writing setup.inf, and reading the
// result back through the setup launcher's own steps and the configuration manager's set reader.
#include "medium_tool.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "common/constants.h"
#include "common/error_list.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "host.h"
#include "output_tree.h"
#include "platform/file_info.h"
#include "platforms.h"
#include "progress.h"
#include "setup/launcher.h"

namespace nebpack {

namespace {

const char InformationFile[] = "setup.inf";
const char LauncherExe[] = "setup.exe";

std::string Join(const std::string& dir, const std::string& name) {
    if (!dir.empty() && (dir.back() == '/' || dir.back() == NativeSeparator())) {
        return dir + name;
    }
    return dir + NativeSeparator() + name;
}

std::string BaseName(const std::string& path) {
    const std::string::size_type cut = path.find_last_of(NativeSeparator() == '\\' ? "\\/:" : "/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Copies a file into a place that does not exist yet; false, with a reason, on any failure.
bool CopyInto(const std::string& from, const std::string& to, std::string& error) {
    File in(std::fopen(from.c_str(), "rb"));
    if (!in) {
        error = "cannot read '" + from + "'";
        return false;
    }
    File out(std::fopen(to.c_str(), "wb"));
    if (!out) {
        error = "cannot create '" + to + "'";
        return false;
    }
    static char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        if (std::fwrite(buffer, 1, n, out.get()) != n) {
            error = "cannot write '" + to + "'";
            return false;
        }
    }
    if (std::ferror(in.get())) {
        error = "cannot read '" + from + "'";
        return false;
    }
    if (std::fclose(out.release()) != 0) {
        error = "cannot write '" + to + "'";
        return false;
    }
    return true;
}

// The launcher's machine, pointed at the medium: its module is setup.exe there, and starting the
// manager only records that it would be started.
class MediumLauncherEnvironment : public nebcm::setup::LauncherEnvironment {
public:
    explicit MediumLauncherEnvironment(std::string dir) : dir_(std::move(dir)) {}
    bool ModulePath(std::string& path) override {
        path = Join(dir_, LauncherExe);
        return true;
    }
    bool ReadFirstLine(const std::string& path, bool& opened, std::string& line) override {
        File f(std::fopen(path.c_str(), "r"));
        opened = f != nullptr;
        if (!f) {
            return false;
        }
        // The launcher reads at most 259 characters of its first line.
        char buffer[260];
        if (std::fgets(buffer, sizeof buffer, f.get()) == nullptr) {
            return false;
        }
        line = buffer;
        return true;
    }
    bool Exists(const std::string& path) override { return Examine(path) != PathState::Missing; }
    bool Start(const std::string&, const std::string&) override { return true; }
    bool StartAndWait(const std::string&, const std::string&, int& exitCode) override {
        exitCode = 0;
        return true;
    }

private:
    std::string dir_;
};

std::string VolumeLabel(const std::string& setName) {
    std::string label;
    for (char c : setName.substr(0, setName.rfind('.'))) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
            label += c;
        } else {
            label += '_';
        }
    }
    return label.empty() ? "NEB_MEDIUM" : label.substr(0, 32);
}

// An ISO 9660 image of dir, with Rock Ridge and Joliet names, by the first image writer found.
int WriteImage(const std::string& dir, const std::string& iso, const std::string& label,
               std::FILE* err) {
    const std::vector<std::vector<std::string>> writers = {
        {"genisoimage", "-quiet", "-r", "-J", "-V", label, "-o", iso, dir},
        {"xorriso", "-as", "mkisofs", "-quiet", "-r", "-J", "-V", label, "-o", iso, dir},
        {"mkisofs", "-quiet", "-r", "-J", "-V", label, "-o", iso, dir},
    };
    std::string reasons;
    for (const std::vector<std::string>& argv : writers) {
        std::string error;
        const int status = RunProgram(argv, error);
        if (status == 0 && Examine(iso) == PathState::File) {
            return 0;
        }
        if (status > 0) {
            // Whatever the writer left is no image.
            std::remove(iso.c_str());
            std::fprintf(err, "nebpack: %s could not write the image '%s' (exit status %d)\n",
                         argv[0].c_str(), iso.c_str(), status);
            return 2;
        }
        reasons += (reasons.empty() ? "" : "; ") + error;
    }
    std::fprintf(err,
                 "nebpack: no ISO 9660 image writer could be started (%s); install genisoimage "
                 "(scripts/install-deps.sh does)\n",
                 reasons.c_str());
    return 2;
}

} // namespace

const std::vector<std::string>& MediumProgramFiles() {
    static const std::vector<std::string> files = {
        LauncherExe,          nebcm::ConfigurationManagerExe,
        nebcm::HelpFile,      nebcm::HelpContentsFile,
        nebcm::HelpIndexFile, nebcm::PlatformIconFile};
    return files;
}

std::string ProgramsDirectory(const MediumRequest& request) {
    if (!request.programs.empty()) {
        return request.programs;
    }
    const char* fromEnvironment = std::getenv("NEBPACK_PROGRAMS");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    return DefaultProgramsDirectory();
}

bool MediumSetName(const std::string& set, std::string& name, std::string& error) {
    name = BaseName(set);
    if (name.empty() || nebcm::setup::TrimWhiteSpace(name) != name) {
        error = "the set's file name '" + name +
                "' cannot be named in setup.inf: the launcher drops blanks at either end";
        return false;
    }
    return true;
}

bool CheckMedium(const std::string& dir, const std::vector<nebcm::PlatformSymbols>& symbols,
                 std::vector<std::string>& problems) {
    MediumLauncherEnvironment environment(dir);
    const nebcm::setup::LaunchOutcome launch = nebcm::setup::Launch(environment);
    if (!launch.started) {
        problems.push_back(launch.fatalMessage);
        return false;
    }
    for (const std::string& file : MediumProgramFiles()) {
        if (Examine(Join(dir, file)) != PathState::File) {
            problems.push_back("the medium lacks " + file + ", which the core installation needs");
        }
    }
    if (!problems.empty()) {
        return false;
    }
    // The manager takes the rest of its command line, behind the quoted program, as the set.
    const std::string set = launch.commandLine.substr(launch.program.size() + 3);
    std::vector<const nebcm::PlatformSymbols*> passes;
    for (const nebcm::PlatformSymbols& s : symbols) {
        passes.push_back(&s);
    }
    if (passes.empty()) {
        passes.push_back(nullptr);
    }
    for (const nebcm::PlatformSymbols* pass : passes) {
        nebcm::ErrorList errors;
        if (!nebcm::ReadDistributionSet(set, errors, CurrentProgress(), pass)) {
            problems.insert(problems.end(), errors.Messages().begin(), errors.Messages().end());
            return false;
        }
    }
    return true;
}

int MakeMedium(const MediumRequest& request, std::FILE* out, std::FILE* err) {
    const std::string programs = ProgramsDirectory(request);
    std::string setName;
    std::string error;
    if (!MediumSetName(request.set, setName, error)) {
        std::fprintf(err, "nebpack: %s\n", error.c_str());
        return 2;
    }
    for (const std::string& file : MediumProgramFiles()) {
        if (Examine(Join(programs, file)) != PathState::File) {
            std::fprintf(err,
                         "nebpack: '%s' is not there; name the directory of the built Windows "
                         "programs with --programs DIR or NEBPACK_PROGRAMS\n",
                         Join(programs, file).c_str());
            return 2;
        }
    }
    const std::vector<nebcm::PlatformSymbols> symbols =
        request.symbols.empty() ? AllPlatformSymbols(DefaultProcessor()) : request.symbols;

    // The set first, where it is: a set the manager would reject makes no medium.
    for (const nebcm::PlatformSymbols& s : symbols) {
        nebcm::ErrorList errors;
        if (!nebcm::ReadDistributionSet(request.set, errors, CurrentProgress(), &s)) {
            const bool unreadable =
                errors.Count() == 1 &&
                errors.At(0) == nebcm::Message(12104, nebcm::AbsolutePath(request.set));
            std::FILE* to = unreadable ? err : out;
            for (const std::string& m : errors.Messages()) {
                std::fprintf(to, "%s\n", m.c_str());
            }
            if (!unreadable && symbols.size() > 1) {
                std::string names;
                for (const std::string& n : s.Names()) {
                    names += (names.empty() ? "" : ",") + n;
                }
                std::fprintf(out, "nebpack: rejected with the symbols %s\n", names.c_str());
            }
            return unreadable ? 2 : 1;
        }
    }

    const PathState state = Examine(request.outDir);
    if (state != PathState::Missing) {
        std::fprintf(err, "nebpack: '%s' exists already; a medium is made in a new directory\n",
                     request.outDir.c_str());
        return 2;
    }
    std::vector<std::string> written;
    const auto fail = [&](const std::string& why) {
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            RemoveCreated(*it, false);
        }
        RemoveCreated(request.outDir, true);
        std::fprintf(err, "nebpack: %s\n", why.c_str());
        return 2;
    };
    if (!MakeDirectory(request.outDir, error)) {
        std::fprintf(err, "nebpack: %s\n", error.c_str());
        return 2;
    }
    std::size_t step = 0;
    const std::size_t steps = MediumProgramFiles().size() + 2;
    for (const std::string& file : MediumProgramFiles()) {
        ShowProgress("copying " + file, static_cast<int>(100 * step++ / steps));
        const std::string target = Join(request.outDir, file);
        written.push_back(target);
        if (!CopyInto(Join(programs, file), target, error)) {
            return fail(error);
        }
    }
    ShowProgress("copying " + setName, static_cast<int>(100 * step++ / steps));
    written.push_back(Join(request.outDir, setName));
    if (!CopyInto(request.set, written.back(), error)) {
        return fail(error);
    }
    {
        // One line, as Windows text: the set's name relative to the launcher's directory.
        written.push_back(Join(request.outDir, InformationFile));
        File inf(std::fopen(written.back().c_str(), "wb"));
        const std::string line = setName + "\r\n";
        if (!inf || std::fwrite(line.data(), 1, line.size(), inf.get()) != line.size() ||
            std::fclose(inf.release()) != 0) {
            return fail("cannot write '" + written.back() + "'");
        }
    }

    // The medium as the launcher and the manager will read it, the copied set included.
    ShowProgress("checking the medium", static_cast<int>(100 * step / steps));
    std::vector<std::string> problems;
    if (!CheckMedium(request.outDir, symbols, problems)) {
        std::string why = "the medium does not read back as it should:";
        for (const std::string& p : problems) {
            why += "\n  " + p;
        }
        return fail(why);
    }
    if (!request.iso.empty()) {
        ShowProgress("writing " + request.iso, 99);
        const int code = WriteImage(request.outDir, request.iso, VolumeLabel(setName), err);
        if (code != 0) {
            return code;
        }
    }
    EndProgress();
    std::fprintf(out, "medium written to '%s' (%s, %zu files)\n", request.outDir.c_str(),
                 setName.c_str(), MediumProgramFiles().size() + 2);
    if (!request.iso.empty()) {
        std::fprintf(out, "image written to '%s'\n", request.iso.c_str());
    }
    return 0;
}

} // namespace nebpack
