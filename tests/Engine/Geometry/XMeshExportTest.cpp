#include "Engine/Geometry/XMesh.h"

#include "Components/XMemoryStream.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace
{
std::string Exported(XMesh& mesh, int format)
{
    XMemoryStream stream(0, 4096);
    mesh.ExportText(&stream, format);
    return StreamString(stream);
}
} // namespace

TEST(XMeshExportTest, TextOfFormatOne)
{
    // No faces, default flags (normals on, colours off).
    XMesh empty;
    empty.AddVertex(XVertex(1, 2, 3), XColor(0u));
    EXPECT_EQ(Exported(empty, 1), "class Vertex {\r\npublic:\r\n\tfloat x, y, z;\r\n\tfloat nx, ny, nz;\r\n"
                                  "\tfloat u, v;\r\n} v [] = {\n};\n\n");

    // Colours and normals; colours are signed ARGB words; a value the short normal array lacks is
    // written as 0; a face pointing past the vertices is left out.
    XMesh mesh;
    mesh.SetColorsEnabled(true);
    mesh.AddVertex(XVertex(0, 0, 0), XColor(0x80FF0000u));
    mesh.AddVertex(XVertex(1, 0, 0), XColor(0x00000001u));
    mesh.AddVertex(XVertex(0, 0.5f, -2), XColor(0xFFFFFFFFu));
    mesh.AddFace(XFace(0, 1, 2));
    mesh.GetFaceArray().Add(XFace(0, 1, 3));
    mesh.GetTextureVertices()[0] = XTextureVertex(0, 0);
    mesh.GetTextureVertices()[1] = XTextureVertex(1, 0);
    mesh.GetTextureVertices()[2] = XTextureVertex(0.25f, 0.1f);
    for (uint32_t i = 0; i < 3; ++i)
        mesh.GetNormals()[i] = XVertex(0, 0, 1);
    mesh.SetNormalCount(2);
    EXPECT_EQ(Exported(mesh, 1), "class Vertex {\r\npublic:\r\n\tfloat x, y, z;\r\n\tbitu32 color;\r\n"
                                 "\tfloat nx, ny, nz;\r\n\tfloat u, v;\r\n} v [] = {\n"
                                 "\t{ \t0,\t0,\t0,\t-2130771968,\t0,\t0,\t1,\t0,\t0\t},\r\n"
                                 "\t{ \t1,\t0,\t0,\t1,\t0,\t0,\t1,\t1,\t0\t},\r\n"
                                 "\t{ \t0,\t0.5,\t-2,\t-1,\t0,\t0,\t0,\t0.25,\t0.100000001\t},\r\n"
                                 "\r\n"
                                 "};\n\n");

    // Other formats write nothing.
    EXPECT_EQ(Exported(mesh, 0), "");
    EXPECT_EQ(Exported(mesh, 2), "");
}

TEST(XMeshExportTest, FileIsCreatedWhateverTheFormat)
{
    TempDir dir;
    XMesh mesh;
    mesh.AddVertex(XVertex(0, 0, 0), XColor(0u));
    mesh.AddVertex(XVertex(1, 0, 0), XColor(0u));
    mesh.AddVertex(XVertex(0, 1, 0), XColor(0u));
    mesh.AddFace(XFace(0, 1, 2));

    const std::filesystem::path path = dir / "mesh.txt";
    WriteWholeFile(path, std::string(5000, 'x')); // truncated, not overwritten in place
    mesh.ExportText(XAnsiString(path.string().c_str()), 1);
    EXPECT_EQ(ReadWholeFile(path), Exported(mesh, 1));
    mesh.ExportText(XAnsiString(path.string().c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ReadWholeFile(path), "");

    const std::string missing = (dir / "no" / "such.txt").string();
    EXPECT_EQ(ThrownText([&] { mesh.ExportText(XAnsiString(missing.c_str()), 1); }), "Failed opening file.");
}
