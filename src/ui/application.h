// The program's one run: COM and the common controls, then start-up's single mode with the real
// procedures and dialogs.
#pragma once

#include <string>

namespace nebcm::ui {

// Runs NebCM.exe with the command line as the system passed it (everything behind the program
// name); returns the process exit code.
int RunApplication(const char* commandLine);

// A command line that starts with -Unattended: the run without any window; returns its exit code.
int RunUnattendedApplication(const std::string& commandLine);

} // namespace nebcm::ui
