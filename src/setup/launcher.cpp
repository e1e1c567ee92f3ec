// The launcher's steps, independent of the machine they run on.
#include "setup/launcher.h"

#include <cctype>
#include <cstdio>

namespace nebcm::setup {

namespace {

constexpr char kInformationFile[] = "setup.inf";
constexpr char kManager[] = "NebCM.exe";

std::string Fatal(const char* format, const std::string& path) {
    // The message is limited like the 4096-character buffer it is shown from.
    char buffer[4096];
    std::snprintf(buffer, sizeof buffer, format, path.c_str());
    return buffer;
}

} // namespace

std::string LauncherDirectory(const std::string& modulePath) {
    std::size_t cut = modulePath.find_last_of("\\/");
    if (cut == std::string::npos) {
        return modulePath;
    }
    return modulePath.substr(0, cut + 1);
}

std::string TrimWhiteSpace(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool IsUnattendedLaunch(const std::string& arguments) {
    const std::string trimmed = TrimWhiteSpace(arguments);
    const std::string word = "-Unattended";
    return trimmed.compare(0, word.size(), word) == 0 &&
           (trimmed.size() == word.size() ||
            std::isspace(static_cast<unsigned char>(trimmed[word.size()])));
}

LaunchOutcome Launch(LauncherEnvironment& environment, const std::string& arguments) {
    LaunchOutcome outcome;
    outcome.unattended = IsUnattendedLaunch(arguments);
    std::string module;
    if (!environment.ModulePath(module)) {
        return outcome;
    }
    const std::string directory = LauncherDirectory(module);
    const std::string information = directory + kInformationFile;

    bool opened = false;
    std::string line;
    bool read = environment.ReadFirstLine(information, opened, line);
    if (!opened) {
        outcome.fatalMessage = Fatal("Can't find the information file '%s'", information);
        return outcome;
    }
    if (!read) {
        outcome.fatalMessage = Fatal("Can't read the information file '%s'", information);
        return outcome;
    }

    const std::string set = directory + TrimWhiteSpace(line);
    if (!environment.Exists(set)) {
        outcome.fatalMessage = Fatal("Can't find the NEB Distribution Set '%s'", set);
        return outcome;
    }
    const std::string manager = directory + kManager;
    if (!environment.Exists(manager)) {
        outcome.fatalMessage = Fatal("Can't find the NEB Configuration Manager '%s'", manager);
        return outcome;
    }
    outcome.program = manager;
    outcome.commandLine = "\"" + manager + "\" " + set;
    if (outcome.unattended) {
        // The options go first: the manager takes the rest of its line as the set path.
        outcome.commandLine = "\"" + manager + "\" " + TrimWhiteSpace(arguments) + " " + set;
        if (!environment.StartAndWait(manager, outcome.commandLine, outcome.exitCode)) {
            outcome.fatalMessage = Fatal("Can't start the NEB Configuration Manager '%s'", manager);
            outcome.exitCode = LaunchRefusedExitCode;
            return outcome;
        }
        outcome.started = true;
        return outcome;
    }
    if (!environment.Start(manager, outcome.commandLine)) {
        outcome.fatalMessage = Fatal("Can't start the NEB Configuration Manager '%s'", manager);
        return outcome;
    }
    outcome.started = true;
    return outcome;
}

} // namespace nebcm::setup
