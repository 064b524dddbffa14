// Sets the desktop's size the class library places windows on for the life of the object, and
// puts back the one before.
#pragma once

#include "Platform/Vcl/Forms.h"

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
