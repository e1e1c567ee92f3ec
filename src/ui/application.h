// The program's one run: COM and the common controls, then start-up's single mode with the real
// procedures and dialogs.
#pragma once

namespace nebcm::ui {

// Runs NebCM.exe with the command line as the system passed it (everything behind the program
// name); returns the process exit code.
int RunApplication(const char* commandLine);

} // namespace nebcm::ui
