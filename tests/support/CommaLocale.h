// Switches the process to a locale whose decimal separator is a comma, if one is installed, and
// back when it goes: numbers as text must not follow it.
#pragma once

#include <string>

class CommaLocale
{
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    // False when no such locale is installed; the process keeps its locale then.
    bool Active() const { return m_Active; }

private:
    std::string m_Previous;
    bool m_Active = false;
};
