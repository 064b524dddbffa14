// The patch instructions: which archive entry to replace with which model file from the data
// folder, read from Data\PatchData.xml beside the program into a fixed table of 256 records.
#pragma once

#include "Components/StrUtils.h"

#include <cstdint>

struct PwPatchEntry
{
    // The skin mesh to replace inside a ".ski" entry.
    int32_t MeshIndex = 0;
    // PwBoneMap when the scene's bone indices must be remapped, else null.
    const uint8_t* BoneMap = nullptr;
    // The model file under the data folder.
    XString ModelName;
    // The entry inside the archive.
    XString FileName;
};

constexpr uint32_t PwPatchEntryCount = 256;

// The program's instructions. The list runs from the first record up to the first one with an
// empty FileName.
extern PwPatchEntry PwPatchEntries[PwPatchEntryCount];

// Bone index of a source scene -> bone index of the game model: 0-6 stay, 10-34 move down by 3,
// every other index becomes 0.
extern const uint8_t PwBoneMap[256];

// The number of instructions in a table of PwPatchEntryCount records.
uint32_t GetPatchEntryCount(const PwPatchEntry* entries = PwPatchEntries);

// The program's folder followed by "Data\PatchData.xml".
XString GetPatchDataFileName();

// The log's line for a failed load of the instruction file (given in Windows form): the file as
// it was opened (the native path, '/' throughout) and why it failed: "the file does not exist.",
// "the file cannot be read." (a folder, or refused), or else the load's own message.
XString PatchDataLoadFailure(const XString& fileName, const XString& message);

// Reads the instruction file (null: GetPatchDataFileName()) into the table, one record per child
// element of the root in document order, at most PwPatchEntryCount; later elements are ignored.
// Each element's attributes are read in the order "MeshIndex" (integer), "UseBoneMap" (boolean),
// "FileName", "ModelName". The table is not cleared first. Failures propagate: a missing file or
// bad XML (CxXml::XmlSyntaxError), a missing attribute (XException "Xml attribute not found."), a
// value that does not convert (VarUtils::XVariantCastError); the records and fields stored before
// the failure stay.
void LoadPatchEntries(const WCHAR* fileName = nullptr, PwPatchEntry* entries = PwPatchEntries);
