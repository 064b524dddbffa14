#include "tests/support/CommaLocale.h"

#include <clocale>

CommaLocale::CommaLocale() : m_Previous(std::setlocale(LC_ALL, nullptr))
{
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8", "ru_RU.utf8"})
        if (std::setlocale(LC_ALL, name))
        {
            m_Active = true;
            return;
        }
}

CommaLocale::~CommaLocale()
{
    std::setlocale(LC_ALL, m_Previous.c_str());
}
