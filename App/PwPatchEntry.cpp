#include "App/PwPatchEntry.h"

#include "App/AppPaths.h"
#include "Components/Cx/CxXml.h"
#include "Platform/Win32/Windows.h"

PwPatchEntry PwPatchEntries[PwPatchEntryCount];

// Source indices 7-9 have no counterpart in the game model and fall back to bone 0.
const uint8_t PwBoneMap[256] = {
    0,  1,  2,  3,  4,  5,  6,                                                              // 0-6
    0,  0,  0,                                                                              // 7-9
    7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, // 10-31
    29, 30, 31,                                                                             // 32-34
    // 35-255: 0
};

uint32_t GetPatchEntryCount(const PwPatchEntry* entries)
{
    uint32_t count = 0;
    while (count < PwPatchEntryCount && !entries[count].FileName.IsEmpty())
        ++count;
    return count;
}

XString GetPatchDataFileName()
{
    return AppPaths::ExtractFilePath(AppPaths::ProgramFile()) + u"Data\\PatchData.xml";
}

void LoadPatchEntries(const WCHAR* fileName, PwPatchEntry* entries)
{
    XString path = fileName ? XString(fileName) : GetPatchDataFileName();
    CxXml::XmlDocument document;
    document.LoadFromFile(path.c_str());
    CxXml::XmlNodes nodes = document.GetNodes();
    uint32_t count = nodes.GetCount() < PwPatchEntryCount ? nodes.GetCount() : PwPatchEntryCount;
    for (uint32_t i = 0; i < count; ++i)
    {
        CxXml::XmlNode* node = nodes[i];
        PwPatchEntry& entry = entries[i];
        entry.MeshIndex = node->ReadAttribute(u"MeshIndex").AsInt();
        entry.BoneMap = node->ReadAttribute(u"UseBoneMap").AsBool() ? PwBoneMap : nullptr;
        entry.FileName = node->ReadAttribute(u"FileName").AsString();
        entry.ModelName = node->ReadAttribute(u"ModelName").AsString();
    }
}

XString PatchDataLoadFailure(const XString& fileName, const XString& message)
{
    // The reader says "Xml syntax error." for every failure, a missing file included; the log
    // tells the cases apart for whoever reads it.
    XString why = message;
    const DWORD attributes = GetFileAttributesW(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = GetLastError();
        why = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? u"the file does not exist."
                                                                             : u"the file cannot be read.";
    }
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        why = u"the file cannot be read.";
    else
    {
        HANDLE file = CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            why = u"the file cannot be read.";
        else
            CloseHandle(file);
    }
    const XString opened(Platform::FromUtf8(Platform::ResolvePath(fileName.c_str())).c_str());
    return XString(u"Loading <") + opened + u"> failed: " + why;
}
