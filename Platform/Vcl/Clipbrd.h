// The class library's clipboard object: the system clipboard as text.
#pragma once

#include "Platform/Vcl/Classes.h"

class TClipboard : public TPersistent
{
public:
    // The clipboard's text (CF_UNICODETEXT), empty when it holds none or cannot be opened.
    UnicodeString AsText();
    // Replaces everything on the clipboard with the text; raises Exception when the clipboard
    // cannot be opened.
    void SetAsText(const UnicodeString& text);
    bool HasFormat(UINT format);
    void Clear();
};

// The one clipboard object of the process.
TClipboard* Clipboard();
