// How the core's Java launcher turns its command line and the platform's Java settings into the
// command line of a Java virtual machine.
#pragma once

#include <functional>
#include <string>

namespace nebcm::njava {

// The platform's Java settings: "Type" 0 Microsoft VM, 1 Sun VM, 2 custom command line.
struct JavaSettings {
    int type = 2;
    std::string msExe;
    std::string sunExe;
    std::string customCommandLine;
};

// Reads a stored "Type": anything but "0", "1" or "2" (missing too) is the custom command line,
// as the configuration manager reads it.
int JavaTypeFromText(const std::string* text);

// The launcher's own command line, after the program name: [-gui] CLASS [ARGUMENTS...]. CLASS is a
// class name (neb.core.Platform) or the path of a .class file; the arguments are passed on as
// they were written.
struct LaunchRequest {
    bool gui = false;
    std::string target;
    std::string arguments;
};
// False when no class is named.
bool ParseLaunchRequest(const std::string& commandLine, LaunchRequest& request);

// One argument of a Windows command line starting at pos (white space before it skipped), by the
// rules of the C runtime: quotes group, backslashes escape only quotes. pos ends behind it. False
// when nothing but white space is left.
bool NextArgument(const std::string& commandLine, std::size_t& pos, std::string& argument);
// The program name at the start of a process's command line (quoted or up to white space); pos
// ends behind it.
std::string ProgramName(const std::string& commandLine, std::size_t& pos);

// The class to run and the class path that finds it. A .class file inside the installation
// directory is named by its package path below it; one elsewhere by its file name, with its own
// directory added to the class path.
struct ClassLocation {
    std::string className;
    std::string classPath;
};
ClassLocation LocateClass(const std::string& target, const std::string& installationDirectory);

// The virtual machine to start: the program (empty when the command line names it itself) and the
// whole command line.
struct JavaCommand {
    std::string program;
    std::string commandLine;
};

enum class CommandProblem {
    None,
    NoVirtualMachine, // the chosen kind of VM has no path or command line set
};

// fileExists answers whether a file is there (to prefer the window-less VM programs with -gui).
CommandProblem BuildJavaCommand(const JavaSettings& settings, const LaunchRequest& request,
                                const std::string& installationDirectory,
                                const std::function<bool(const std::string&)>& fileExists,
                                JavaCommand& command);

// Quotes an argument so that the C runtime reads it back unchanged.
std::string QuoteForCommandLine(const std::string& argument);

// What the launcher tells the user.
std::string UsageText();
std::string NoVirtualMachineText(const JavaSettings& settings);
std::string CannotStartText(const std::string& commandLine);

} // namespace nebcm::njava
