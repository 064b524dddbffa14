// The program's settings: an XML document beside the program file (<program>.xml) whose root
// element "Config" holds the settings as named values. Read at start, written at exit; a file
// that cannot be read or written is ignored, and the program runs on its defaults.
#pragma once

#include "Components/Cx/CxXml.h"

class AppConfig : public CxXml::XmlDocument
{
public:
    // Loads the file (null: the program's own). A missing, unreadable or malformed file leaves
    // the document empty. The root is named "Config" whatever the file called it.
    explicit AppConfig(const WCHAR* fileName = nullptr);
    // Saves the document to the file it was loaded from; a failure is ignored. Never throws.
    ~AppConfig() override;

    const WCHAR* GetFileName() const { return m_FileName.c_str(); }

private:
    XString m_FileName;
};

// The program's one settings document, built by the entry point after the log and destroyed
// before it; null outside that span.
extern AppConfig* TheAppConfig;
