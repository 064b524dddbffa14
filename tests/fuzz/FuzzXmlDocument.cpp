// Fuzz target: the XML reader must load or refuse any bytes with XmlSyntaxError, and a document
// it loaded must save and load again.
#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    XMemoryStream input(0, 0);
    input.Write(data, static_cast<unsigned>(size));
    input.SetPosition(0);
    CxXml::XmlDocument document;
    try
    {
        document.LoadFromStream(input);
    }
    catch (const CxXml::XmlSyntaxError&)
    {
        return 0;
    }
    XMemoryStream saved(0, 0);
    document.SaveToStream(saved);
    saved.SetPosition(0);
    CxXml::XmlDocument again;
    try
    {
        again.LoadFromStream(saved);
    }
    catch (const CxXml::XmlSyntaxError&)
    {
        abort(); // what we wrote must read back
    }
    return 0;
}
