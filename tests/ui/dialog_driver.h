// Answers the dialogs that the test thread opens, from a second thread: each step waits for a
// matching window of the test thread, then acts on it (reads it, presses a button).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace nebcm::ui::testing {

inline std::string WindowText(HWND window) {
    char text[8192] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

// Posts a button's command; the test thread handles it when it next takes messages.
inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

using WindowMatch = std::function<bool(HWND)>;

// A dialog that has a control with this id.
inline WindowMatch WithControl(int id) {
    return [id](HWND w) { return GetDlgItem(w, id) != nullptr; };
}

inline WindowMatch WithCaption(const std::string& caption) {
    return [caption](HWND w) { return WindowText(w) == caption; };
}

class DialogDriver {
public:
    DialogDriver() : thread_(GetCurrentThreadId()) {}
    ~DialogDriver() { Finish(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // The next step: the first shown and enabled dialog of the test thread that matches gets the
    // action. A dialog under a modal one is disabled, so it matches again only when that is gone;
    // the window of the step before never matches, as it may not have handled the action yet.
    DialogDriver& Then(WindowMatch match, std::function<void(HWND)> action) {
        steps_.push_back({std::move(match), std::move(action)});
        return *this;
    }

    void Start() {
        worker_ = std::thread([this] { Run(); });
    }

    // Waits for the second thread; true when every step ran.
    bool Finish() {
        if (worker_.joinable()) {
            worker_.join();
        }
        return done_ == steps_.size();
    }

    // Ends the waiting for steps that are not expected to come.
    void Stop() {
        stop_ = true;
        Finish();
    }

    bool Done() const { return done_ == steps_.size(); }
    std::size_t StepsDone() const { return done_; }

    // How long a step waits for its window, and for its action to take effect.
    static constexpr DWORD StepTimeout = 10000;
    static constexpr DWORD SettleTimeout = 2000;

private:
    struct Step {
        WindowMatch match;
        std::function<void(HWND)> action;
    };
    struct Search {
        const WindowMatch* match;
        HWND skipped;
        HWND found;
    };

    static BOOL CALLBACK Visit(HWND w, LPARAM param) {
        Search* search = reinterpret_cast<Search*>(param);
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (w != search->skipped && std::string(name) == "#32770" && IsWindowVisible(w) &&
            IsWindowEnabled(w) && (*search->match)(w)) {
            search->found = w;
            return FALSE;
        }
        return TRUE;
    }

    void Run() {
        HWND previous = nullptr;
        for (const Step& step : steps_) {
            HWND found = nullptr;
            for (DWORD waited = 0; found == nullptr && !stop_ && waited < StepTimeout;
                 waited += 5) {
                Search search = {&step.match, previous, nullptr};
                EnumThreadWindows(thread_, Visit, reinterpret_cast<LPARAM>(&search));
                found = search.found;
                if (found == nullptr) {
                    Sleep(5);
                }
            }
            if (found == nullptr) {
                return;
            }
            step.action(found);
            previous = found;
            ++done_;
            // Every action ends its window or opens a modal one over it; the next step looks only
            // once that has happened, so it never sees a window that is about to go away.
            for (DWORD waited = 0; !stop_ && waited < SettleTimeout; waited += 5) {
                if (!IsWindow(found) || !IsWindowVisible(found) || !IsWindowEnabled(found)) {
                    break;
                }
                Sleep(5);
            }
        }
    }

    DWORD thread_;
    std::vector<Step> steps_;
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

} // namespace nebcm::ui::testing
