#include "Components/XGuid.h"

void GuidToText(WCHAR* buffer, const XGuid& guid)
{
    WCHAR clockSeq[5];
    WCHAR node[13];
    BytesToHex(clockSeq, guid.Data4, 2);
    BytesToHex(node, guid.Data4 + 2, 6);
    wsprintfW(buffer, u"{%08X-%04X-%04X-%s-%s}", guid.Data1, static_cast<unsigned>(guid.Data2),
              static_cast<unsigned>(guid.Data3), clockSeq, node);
}

XString GuidToString(const XGuid& guid)
{
    WCHAR text[39];
    GuidToText(text, guid);
    return XString(text);
}
