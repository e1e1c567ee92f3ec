// Stand-in for a program started by another: writes its command line to args.txt beside itself.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) {
        return 1;
    }
    std::strcpy(slash + 1, "args.txt");
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) {
        return 1;
    }
    std::fputs(GetCommandLineA(), f);
    std::fclose(f);
    return 0;
}
