// What a call throws, as text to compare: every failure channel of the engine has its own helper.
#pragma once

#include "Components/XException.h"

#include <string>

// The exact text of the engine's input-output error.
inline const std::u16string kIOErrorText = u"Stream input-output operation failed.";

// The message of the class library's exception (or a subclass) the call throws.
template <class F> std::u16string ThrownMessage(F&& call)
{
    try
    {
        call();
    }
    catch (const Exception& e)
    {
        return e.Message().str();
    }
    return u"(nothing thrown)";
}

// The message of the reader's and writer's input-output error type; any other exception is a
// different outcome.
template <class F> std::u16string ThrownIOError(F&& call)
{
    try
    {
        call();
    }
    catch (const FileUtils::XIOError& e)
    {
        return e.Message().str();
    }
    catch (...)
    {
        return u"(another exception)";
    }
    return u"(nothing thrown)";
}

// The text of a plain narrow throw (`const char*`), the channel of the lowest layers.
template <class F> std::string ThrownText(F&& call)
{
    try
    {
        call();
    }
    catch (const char* text)
    {
        return text;
    }
    return "(nothing thrown)";
}
