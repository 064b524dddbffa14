// Errors of the patcher's own units carry their source unit and line in the message:
// "[ERROR] ..\PW\Common\PwPackage.cpp( 82 ): Wrong TailerMagic1".
#pragma once

#include "Components/XException.h"

// The message text for a unit path (narrow, as the unit names itself), a line and the text.
UnicodeString FormatUnitError(const char* unit, int line, const UnicodeString& text);
// Only the "[ERROR] %s( %i ): " prefix, for handlers that log an exception's own message after it.
UnicodeString FormatUnitErrorPrefix(const char* unit, int line);

inline XException UnitError(const char* unit, int line, const UnicodeString& text)
{
    return XException(FormatUnitError(unit, line, text).c_str());
}
