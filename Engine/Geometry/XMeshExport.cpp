// XMesh as source text: a vertex record declaration and an array initialised with the mesh as a
// triangle list. The mix of CR LF and LF line ends is the format's own.
#include "Engine/Geometry/XMesh.h"

#include "Components/XFileStream.h"
#include "Components/XTextWriter.h"

namespace
{
// Element i, or zero when the array is shorter, so that every record keeps its fields.
template <class T> T ElementOr(const T* data, uint32_t count, uint32_t i)
{
    return i < count ? data[i] : T();
}
} // namespace

void XMesh::ExportText(const XAnsiString& fileName, int format)
{
    XFileStream file(fileName.c_str(), 1);
    ExportText(&file, format);
}

void XMesh::ExportText(XStream* stream, int format)
{
    if (!stream || format != 1)
        return;
    FileUtils::XTextWriter<char> out(stream);
    out << "class Vertex {\r\n"
        << "public:\r\n"
        << "\tfloat x, y, z;\r\n";
    if (m_ColorsEnabled)
        out << "\tbitu32 color;\r\n";
    if (m_NormalsEnabled)
        out << "\tfloat nx, ny, nz;\r\n";
    out << "\tfloat u, v;\r\n"
        << "} v [] = {\n";

    const uint32_t n = GetVertexCount();
    for (uint32_t f = 0; f < GetFaceCount(); ++f)
    {
        const XFace& face = m_Faces.GetData()[f];
        // A face pointing past the vertices has no position to write.
        if (!FaceInRange(face, n))
            continue;
        for (uint32_t i : face.v)
        {
            const XVertex& p = m_Positions.GetData()[i];
            out << "\t{ \t" << p.x << ",\t" << p.y << ",\t" << p.z;
            if (m_ColorsEnabled)
            {
                const XColor color = ElementOr(GetColors(), GetColorCount(), i);
                out << ",\t" << static_cast<int>(static_cast<int32_t>(color.GetARGB()));
            }
            if (m_NormalsEnabled)
            {
                const XVertex normal = ElementOr(GetNormals(), GetNormalCount(), i);
                out << ",\t" << normal.x << ",\t" << normal.y << ",\t" << normal.z;
            }
            const XTextureVertex uv = ElementOr(GetTextureVertices(), GetTextureVertexCount(), i);
            out << ",\t" << uv.u << ",\t" << uv.v << "\t},\r\n";
        }
        out << "\r\n";
    }
    out << "};\n\n";
}
