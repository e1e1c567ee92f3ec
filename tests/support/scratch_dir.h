// A scratch directory per test, removed with everything in it afterwards (native and under Wine).
#pragma once

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nebcm::testing {

class ScratchDir {
public:
    ScratchDir() {
#ifdef _WIN32
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        static unsigned counter = 0;
        for (;;) {
            char name[MAX_PATH + 64];
            std::snprintf(name, sizeof name, "%snebcm-test-%lu-%u", base,
                          static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
            if (CreateDirectoryA(name, nullptr)) {
                path_ = name;
                break;
            }
        }
#else
        char name[] = "/tmp/nebcm-test-XXXXXX";
        if (mkdtemp(name) != nullptr) {
            path_ = name;
        }
#endif
    }
    ~ScratchDir() {
        RemoveTree(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const {
        return path_;
    }
    std::string File(const std::string& name) const {
        return path_ + Separator() + name;
    }
    static const char* Separator() {
#ifdef _WIN32
        return "\\";
#else
        return "/";
#endif
    }

    void Write(const std::string& name, const std::string& bytes) const {
        std::FILE* f = std::fopen(File(name).c_str(), "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    std::string Read(const std::string& name) const {
        std::string out;
        std::FILE* f = std::fopen(File(name).c_str(), "rb");
        if (f) {
            char buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
                out.append(buf, n);
            }
            std::fclose(f);
        }
        return out;
    }

private:
    static void RemoveTree(const std::string& dir) {
        if (dir.empty()) {
            return;
        }
#ifdef _WIN32
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string n = fd.cFileName;
                if (n == "." || n == "..") {
                    continue;
                }
                std::string p = dir + "\\" + n;
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(p);
                } else {
                    DeleteFileA(p.c_str());
                }
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(dir.c_str());
#else
        DIR* d = opendir(dir.c_str());
        if (d) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == "..") {
                    continue;
                }
                std::string p = dir + "/" + n;
                struct stat st;
                if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    chmod(p.c_str(), 0700);
                    RemoveTree(p);
                } else {
                    unlink(p.c_str());
                }
            }
            closedir(d);
        }
        rmdir(dir.c_str());
#endif
    }

    std::string path_;
};

} // namespace nebcm::testing
