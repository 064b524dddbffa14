#include "App/AppConfig.h"

#include "App/AppPaths.h"

AppConfig* TheAppConfig = nullptr;

AppConfig::AppConfig(const WCHAR* fileName)
    : m_FileName(fileName ? XString(fileName) : AppPaths::ChangeFileExt(AppPaths::ProgramFile(), u".xml"))
{
    try
    {
        LoadFromFile(m_FileName.c_str());
    }
    catch (...)
    {
        // The loader keeps what it read before the fault; half a settings file is no better than
        // none, so start from the defaults.
        Clear();
        SetValue(u"");
    }
    SetName(u"Config");
}

AppConfig::~AppConfig()
{
    try
    {
        SaveToFile(m_FileName.c_str());
    }
    catch (...)
    {
        // Unsaved settings only cost the defaults at the next start.
    }
}
