// Records every message box shown while it lives instead of showing it, and answers OK (or `answer`).
#pragma once

#include "Platform/Win32/Windows.h"

#include <functional>
#include <string>
#include <vector>

struct RecordedBox
{
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
};

class BoxRecorder
{
public:
    BoxRecorder()
    {
        m_previous = Platform::SetMessageBoxHandler(
            [this](HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)
            {
                if (onShow)
                    onShow();
                boxes.push_back({owner, text, caption, type});
                return answer;
            });
    }
    ~BoxRecorder() { Platform::SetMessageBoxHandler(m_previous); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<RecordedBox> boxes;
    int answer = IDOK; // what every box answers
    std::function<void()> onShow; // run as each box shows, before it is answered

private:
    Platform::MessageBoxHandler m_previous;
};
