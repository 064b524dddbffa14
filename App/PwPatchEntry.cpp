#include "App/PwPatchEntry.h"

#include "App/AppPaths.h"
#include "Components/Cx/CxXml.h"

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
