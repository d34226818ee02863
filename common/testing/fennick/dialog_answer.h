// For Windows tests: answers a modal dialog of a given title when it appears on this thread.
#pragma once
#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

namespace fennick::testing {

// A thread timer fires inside the dialog's own modal loop, finds the dialog and lets `action` look
// at it and answer it. (Same thread on purpose: new threads in the emulated 32-bit process here are
// not reliable.) Each answer acts once; nested dialogs opened by an action are answered too.
class DialogAnswer {
public:
    DialogAnswer(const char* title, std::function<void(HWND)> action) : title_(title), action_(std::move(action))
    {
        waiting().push_back(this);
        if (!timer())
            timer() = SetTimer(nullptr, 0, 20, tick);
    }
    ~DialogAnswer()
    {
        auto& list = waiting();
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] == this)
                list.erase(list.begin() + i);
        if (list.empty() && timer()) {
            KillTimer(nullptr, timer());
            timer() = 0;
        }
    }
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;
    bool seen() const { return dialog_ != nullptr; }

private:
    static std::vector<DialogAnswer*>& waiting()
    {
        static std::vector<DialogAnswer*> list;
        return list;
    }
    static UINT_PTR& timer()
    {
        static UINT_PTR id = 0;
        return id;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
    {
        for (DialogAnswer* answer : std::vector<DialogAnswer*>(waiting())) {
            if (answer->dialog_ || !stillWaiting(answer))
                continue;
            HWND found = FindWindowA("#32770", answer->title_);
            if (found && IsWindowVisible(found) && IsWindowEnabled(found)) {
                answer->dialog_ = found;
                answer->action_(found);
            }
        }
    }
    static bool stillWaiting(DialogAnswer* answer)
    {
        for (DialogAnswer* waitingAnswer : waiting())
            if (waitingAnswer == answer)
                return true;
        return false;
    }

    const char* title_;
    std::function<void(HWND)> action_;
    HWND dialog_ = nullptr;
};

}  // namespace fennick::testing
