// Sets the desktop's size the class library places windows on for the life of the object, and
// puts back the one before.
#pragma once

#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

class ScreenSize
{
public:
    ScreenSize(int width, int height) : m_width(Screen->Width), m_height(Screen->Height)
    {
        Screen->Width = width;
        Screen->Height = height;
    }
    ~ScreenSize()
    {
        Screen->Width = m_width;
        Screen->Height = m_height;
    }
    ScreenSize(const ScreenSize&) = delete;
    ScreenSize& operator=(const ScreenSize&) = delete;

private:
    int m_width, m_height;
};

// Whether all of the rectangle (a window's bounds) stands on the screen.
inline testing::AssertionResult OnScreen(const TRect& r)
{
    if (r.left >= 0 && r.top >= 0 && r.right <= Screen->Width && r.bottom <= Screen->Height)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
           << ") crosses the edge of a " << Screen->Width << " x " << Screen->Height << " screen";
}
