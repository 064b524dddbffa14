// The engine's exception family and the non-fatal assertion box.
//
// Failures travel on three channels, chosen per operation: XException and its subclasses with a
// bare wide message; plain `const char*` throws from the lowest layers ("Out of range." of
// XArray, the stream helpers); and XAssert, which shows a box and lets execution go on.
#pragma once

#include "Platform/Vcl/SysUtils.h"

class XException : public Exception
{
public:
    explicit XException(const WCHAR* message) : Exception(message) {}
    // Widened with the ANSI code page.
    explicit XException(const char* message) : Exception(message) {}
    XException(const XException&) = default;
    XException& operator=(const XException&) = default;
    ~XException() override = default;
};

class XWrongChunkException : public XException
{
public:
    XWrongChunkException() : XException(u"Wrong chunk.") {}
};

namespace FileUtils
{
class XIOError : public XException
{
public:
    XIOError() : XException(u"Stream input-output operation failed.") {}
    explicit XIOError(const WCHAR* message) : XException(message) {}
};
} // namespace FileUtils

namespace VarUtils
{
class XVariantCastError : public XException
{
public:
    XVariantCastError() : XException(u"Variant type conversion error.") {}
};
} // namespace VarUtils

namespace XDebug
{
// Shows MessageBoxW(no owner, "File: %s; Line: %i; \n%s", "Error", MB_OK) with the source path
// (8-bit, widened with the ANSI code page), the line and the message, then returns so that the
// caller goes on. An overlong text is cut, never overrun. Checks that must name a fixed unit path
// (such as "..\Components\StrUtils.h") call this directly instead of XAssert.
void AssertFailed(const char* file, int line, const WCHAR* message);
} // namespace XDebug

// When the condition fails, shows the assertion box naming this source file and line; execution
// continues with the next statement either way.
#define XAssert(condition, message)                                                                          \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
            XDebug::AssertFailed(__FILE__, __LINE__, (message));                                             \
    } while (0)
