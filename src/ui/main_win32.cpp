// Entry point of NebCM.exe.
#include <windows.h>

#include "ui/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return nebcm::ui::RunApplication(commandLine);
}
