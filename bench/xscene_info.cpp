// Loads a scene file headless and lists what it holds.
//   xscene_info FILE
// Per object: class, name and GUID; per triangle mesh: the counts of vertices, faces, texture
// vertices, normals and weights and whether normals and weights are on. A load that shows a
// message (a format error) or fails to open prints the message and exits with 1.
#include "Components/XGuid.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Win32/Windows.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::string Utf8(const XString& text)
{
    return Platform::ToUtf8(text.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: xscene_info FILE\n");
        return 2;
    }
    std::vector<std::u16string> messages;
    Platform::SetMessageBoxHandler(
        [&](HWND, const std::u16string& text, const std::u16string&, UINT)
        {
            messages.push_back(text);
            return IDOK;
        });
    try
    {
        XScene scene(nullptr);
        scene.LoadFromFile(Platform::FromUtf8(argv[1]).c_str());
        for (unsigned i = 0; i < scene.GetObjectCount(); ++i)
        {
            XBaseObject* object = scene.GetObjectW(i);
            std::printf("%s \"%s\" %s\n", Utf8(object->GetClassNameW()).c_str(),
                        Utf8(object->GetName()).c_str(), Utf8(GuidToString(object->GetGuid())).c_str());
            if (auto* tri = dynamic_cast<XTriMesh*>(object))
            {
                const XMesh& mesh = *tri->GetMesh();
                std::printf(
                    "  vertices %u, faces %u, texture vertices %u, normals %u (%s), weights %u (%s)\n",
                    mesh.GetVertexCount(), mesh.GetFaceCount(), mesh.GetTextureVertexCount(),
                    mesh.GetNormalCount(), mesh.GetNormalsEnabled() ? "on" : "off", mesh.GetWeightCount(),
                    mesh.GetWeightsEnabled() ? "on" : "off");
            }
        }
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "%s\n", text);
        return 1;
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "%s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    for (const std::u16string& message : messages)
        std::fprintf(stderr, "%s\n", Platform::ToUtf8(message.c_str()).c_str());
    return messages.empty() ? 0 : 1;
}
