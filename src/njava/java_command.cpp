// Command-line parsing and the Java virtual machine's command line for the core's Java launcher.
#include "njava/java_command.h"

#include <cctype>

namespace nebcm::njava {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           EqualsIgnoringCase(text.substr(text.size() - end.size()), end);
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

std::string FileNameOf(const std::string& path) {
    std::size_t slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The window-less sibling of a console VM program, when the request asks for no console and the
// sibling is there.
std::string WindowlessVariant(const std::string& program, const char* consoleName,
                              const char* windowlessName, bool gui,
                              const std::function<bool(const std::string&)>& fileExists) {
    if (!gui || !EqualsIgnoringCase(FileNameOf(program), consoleName)) {
        return program;
    }
    std::string sibling =
        program.substr(0, program.size() - std::string(consoleName).size()) + windowlessName;
    return fileExists(sibling) ? sibling : program;
}

std::string Trimmed(const std::string& text) {
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

} // namespace

int JavaTypeFromText(const std::string* text) {
    if (text != nullptr && text->size() == 1 && (*text)[0] >= '0' && (*text)[0] <= '2') {
        return (*text)[0] - '0';
    }
    return 2;
}

bool NextArgument(const std::string& commandLine, std::size_t& pos, std::string& argument) {
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) {
        ++pos;
    }
    if (pos >= commandLine.size()) {
        return false;
    }
    argument.clear();
    bool quoted = false;
    while (pos < commandLine.size()) {
        char c = commandLine[pos];
        if (!quoted && IsBlank(c)) {
            break;
        }
        if (c == '\\') {
            std::size_t count = 0;
            while (pos < commandLine.size() && commandLine[pos] == '\\') {
                ++count;
                ++pos;
            }
            if (pos < commandLine.size() && commandLine[pos] == '"') {
                argument.append(count / 2, '\\');
                if (count % 2 == 1) {
                    argument += '"';
                    ++pos;
                }
            } else {
                argument.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && pos + 1 < commandLine.size() && commandLine[pos + 1] == '"') {
                argument += '"';
                pos += 2;
                continue;
            }
            quoted = !quoted;
            ++pos;
            continue;
        }
        argument += c;
        ++pos;
    }
    return true;
}

std::string ProgramName(const std::string& commandLine, std::size_t& pos) {
    pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) {
        ++pos;
    }
    std::string name;
    if (pos < commandLine.size() && commandLine[pos] == '"') {
        std::size_t close = commandLine.find('"', pos + 1);
        std::size_t end = close == std::string::npos ? commandLine.size() : close;
        name = commandLine.substr(pos + 1, end - pos - 1);
        pos = close == std::string::npos ? commandLine.size() : close + 1;
        return name;
    }
    std::size_t start = pos;
    while (pos < commandLine.size() && !IsBlank(commandLine[pos])) {
        ++pos;
    }
    return commandLine.substr(start, pos - start);
}

bool ParseLaunchRequest(const std::string& commandLine, LaunchRequest& request) {
    request = LaunchRequest();
    std::size_t pos = 0;
    std::string argument;
    if (!NextArgument(commandLine, pos, argument)) {
        return false;
    }
    if (argument == "-gui") {
        request.gui = true;
        if (!NextArgument(commandLine, pos, argument)) {
            return false;
        }
    }
    if (argument.empty()) {
        return false;
    }
    request.target = argument;
    request.arguments = Trimmed(commandLine.substr(pos));
    return true;
}

ClassLocation LocateClass(const std::string& target, const std::string& installationDirectory) {
    ClassLocation location;
    location.classPath = installationDirectory;
    if (!EndsWithIgnoringCase(target, ".class")) {
        location.className = target;
        return location;
    }
    const std::string withoutSuffix = target.substr(0, target.size() - 6);
    std::string prefix = installationDirectory;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') {
        prefix += '\\';
    }
    if (!installationDirectory.empty() && withoutSuffix.size() > prefix.size() &&
        EqualsIgnoringCase(withoutSuffix.substr(0, prefix.size()), prefix)) {
        location.className = withoutSuffix.substr(prefix.size());
        for (char& c : location.className) {
            if (c == '\\' || c == '/') {
                c = '.';
            }
        }
        return location;
    }
    std::size_t slash = LastSeparator(withoutSuffix);
    location.className =
        slash == std::string::npos ? withoutSuffix : withoutSuffix.substr(slash + 1);
    std::string ownDirectory = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? withoutSuffix.substr(0, 1)
                                                          : withoutSuffix.substr(0, slash);
    if (ownDirectory.size() == 2 && ownDirectory[1] == ':') {
        ownDirectory += '\\'; // the root of a drive, not its current directory
    }
    location.classPath =
        installationDirectory.empty() ? ownDirectory : installationDirectory + ";" + ownDirectory;
    return location;
}

std::string QuoteForCommandLine(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

CommandProblem BuildJavaCommand(const JavaSettings& settings, const LaunchRequest& request,
                                const std::string& installationDirectory,
                                const std::function<bool(const std::string&)>& fileExists,
                                JavaCommand& command) {
    command = JavaCommand();
    const ClassLocation location = LocateClass(request.target, installationDirectory);
    std::string tail = location.className;
    if (!request.arguments.empty()) {
        tail += ' ';
        tail += request.arguments;
    }
    switch (settings.type) {
    case 0:
        if (Trimmed(settings.msExe).empty()) {
            return CommandProblem::NoVirtualMachine;
        }
        command.program = WindowlessVariant(Trimmed(settings.msExe), "jview.exe", "wjview.exe",
                                            request.gui, fileExists);
        command.commandLine = QuoteForCommandLine(command.program) + " /cp:p " +
                              QuoteForCommandLine(location.classPath) + " " +
                              QuoteForCommandLine("/d:neb.base=" + installationDirectory) + " " +
                              tail;
        return CommandProblem::None;
    case 1:
        if (Trimmed(settings.sunExe).empty()) {
            return CommandProblem::NoVirtualMachine;
        }
        command.program = WindowlessVariant(Trimmed(settings.sunExe), "java.exe", "javaw.exe",
                                            request.gui, fileExists);
        command.commandLine = QuoteForCommandLine(command.program) + " -classpath " +
                              QuoteForCommandLine(location.classPath) + " " +
                              QuoteForCommandLine("-Dneb.base=" + installationDirectory) + " " +
                              tail;
        return CommandProblem::None;
    default: {
        std::string custom = Trimmed(settings.customCommandLine);
        if (custom.empty()) {
            return CommandProblem::NoVirtualMachine;
        }
        // The custom command line starts the VM; the class path, the base and the class follow
        // in the usual syntax of Java launchers.
        command.commandLine = custom + " -classpath " + QuoteForCommandLine(location.classPath) +
                              " " + QuoteForCommandLine("-Dneb.base=" + installationDirectory) +
                              " " + tail;
        return CommandProblem::None;
    }
    }
}

std::string UsageText() {
    return "Usage: njava [-gui] CLASS [ARGUMENTS...]\n\n"
           "Starts a NEB 2.0 Java class, given by its name or as a .class file, with the Java "
           "virtual machine chosen in the NEB 2.0 Configuration Manager. With -gui the virtual "
           "machine runs without a console window.";
}

std::string NoVirtualMachineText(const JavaSettings& settings) {
    std::string text;
    switch (settings.type) {
    case 0:
        text = "The Microsoft Java VM is chosen for NEB 2.0, but the location of JVIEW.EXE is "
               "not set.";
        break;
    case 1:
        text = "The Sun Java VM is chosen for NEB 2.0, but the location of JAVA.EXE is not set.";
        break;
    default:
        text = "No Java virtual machine is set up for NEB 2.0.";
        break;
    }
    return text + "\n\nChoose one in the NEB 2.0 Configuration Manager (Java support).";
}

std::string CannotStartText(const std::string& commandLine) {
    return "Cannot start the Java virtual machine:\n" + commandLine;
}

} // namespace nebcm::njava
