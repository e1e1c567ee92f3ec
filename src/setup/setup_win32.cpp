// setup.exe: starts the configuration manager of a distribution medium on its distribution set.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
