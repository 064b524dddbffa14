// The D3DX binding made at start-up, and bindings made again with the library or entry points
// withheld.
#include "Gx/GxD3DX.h"

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace
{
// Every pointer with its report line, in the binding's order.
std::vector<std::pair<bool, int>> BoundState()
{
    using namespace Gx;
    return {{bool(D3DXCreateEffectFromFileW), 60},
            {bool(D3DXCompileShaderFromFileW), 61},
            {bool(D3DXGetVertexShaderProfileW), 62},
            {bool(D3DXCreateTexture), 64},
            {bool(D3DXCreateTextureFromFileW), 65},
            {bool(D3DXGetImageInfoFromFileW), 66},
            {bool(D3DXGetImageInfoFromFileInMemory), 67},
            {bool(D3DXCreateTextureFromFileExW), 68},
            {bool(D3DXCreateTextureFromFileInMemoryEx), 69},
            {bool(D3DXSaveTextureToFileW), 70},
            {bool(D3DXSaveSurfaceToFileW), 72},
            {bool(D3DXMatrixDecompose), 74}};
}

FARPROC WithoutDecompose(HMODULE module, LPCSTR name)
{
    return std::strcmp(name, "D3DXMatrixDecompose") == 0 ? nullptr : GetProcAddress(module, name);
}

HMODULE NoLibrary(LPCWSTR)
{
    return nullptr;
}

class GxD3DXTest : public ::testing::Test
{
protected:
    // Whatever a test withheld, the next one finds the whole library bound again.
    void TearDown() override
    {
        BoxRecorder quiet;
        Gx::XD3DXLoader::Bind();
        EXPECT_TRUE(quiet.boxes.empty());
    }
};

TEST_F(GxD3DXTest, StartUpBindsAllTwelveEntryPoints)
{
    EXPECT_NE(Gx::D3DXLib, nullptr);
    for (auto [bound, line] : BoundState())
        EXPECT_TRUE(bound) << "line " << line;
    // The pointers reach the library: a decomposition through the bound pointer.
    D3DXMATRIX m{};
    m._11 = 2;
    m._22 = 3;
    m._33 = 4;
    m._41 = 7;
    m._44 = 1;
    D3DXVECTOR3 scale{}, translation{};
    D3DXQUATERNION rotation{};
    ASSERT_EQ(Gx::D3DXMatrixDecompose(&scale, &rotation, &translation, &m), D3D_OK);
    EXPECT_EQ(scale.z, 4.0f);
    EXPECT_EQ(translation.x, 7.0f);
    EXPECT_EQ(rotation.w, 1.0f);
}

TEST_F(GxD3DXTest, OneMissingEntryPointGivesOneBoxAndBindsTheOthers)
{
    BoxRecorder recorder;
    Gx::XD3DXLoader::Bind(LoadLibraryW, WithoutDecompose);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, u"File: ..\\Gx\\GxD3DX.cpp; Line: 74; \nD3DXMatrixDecompose");
    EXPECT_EQ(recorder.boxes[0].caption, u"Error");
    EXPECT_EQ(recorder.boxes[0].owner, nullptr);
    EXPECT_EQ(recorder.boxes[0].type, MB_OK);
    int bound = 0;
    for (auto [isBound, line] : BoundState())
        bound += isBound;
    EXPECT_EQ(bound, 11);
    EXPECT_TRUE(Gx::D3DXMatrixDecompose == nullptr);

    // A call through the missing pointer is an exception that names it, not a jump to nowhere.
    D3DXVECTOR3 scale{}, translation{};
    D3DXQUATERNION rotation{};
    D3DXMATRIX m{};
    EXPECT_EQ(ThrownMessage([&] { Gx::D3DXMatrixDecompose(&scale, &rotation, &translation, &m); }),
              u"Entry point D3DXMatrixDecompose of d3dx9_24.dll is not loaded.");
}

TEST_F(GxD3DXTest, MissingLibraryGivesThirteenBoxesInTableOrder)
{
    BoxRecorder recorder;
    Gx::XD3DXLoader::Bind(NoLibrary);
    EXPECT_EQ(Gx::D3DXLib, nullptr);
    ASSERT_EQ(recorder.boxes.size(), 13u);
    EXPECT_EQ(recorder.boxes[0].text, u"File: ..\\Gx\\GxD3DX.cpp; Line: 58; \nd3dx9_24.dll");
    EXPECT_EQ(recorder.boxes[3].text, u"File: ..\\Gx\\GxD3DX.cpp; Line: 62; \nD3DXGetVertexShaderProfile")
        << "the profile's entry point is looked up without a W";
    std::vector<int> lines;
    for (const RecordedBox& box : recorder.boxes)
    {
        EXPECT_EQ(box.caption, u"Error");
        size_t at = box.text.find(u"Line: ");
        lines.push_back(std::stoi(Platform::ToUtf8(box.text.c_str() + at + 6)));
    }
    EXPECT_EQ(lines, (std::vector<int>{58, 60, 61, 62, 64, 65, 66, 67, 68, 69, 70, 72, 74}));
    for (auto [bound, line] : BoundState())
        EXPECT_FALSE(bound) << "line " << line;
}

// Runs the program headless from `folder` and returns what it wrote to standard error.
std::string RunProgram(const std::filesystem::path& folder, int& exitCode)
{
    std::string command = "cd '" + folder.string() + "' && KELVANE_HEADLESS=1 ./Kelvane 2>&1 >/dev/null";
    std::string output;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    int status = ::pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(GxD3DXProgramTest, TheProgramReportsAMissingLibraryAndGoesOn)
{
    namespace fs = std::filesystem;
    fs::path built = Platform::ProgramFolder();
    ASSERT_TRUE(fs::exists(built / "Kelvane")) << "the program is built beside the tests";
    TempDir dir("kelvane-start");
    fs::copy_file(built / "Kelvane", dir / "Kelvane");
    fs::copy_file(built / "libd3d9.so", dir / "libd3d9.so");

    // Headless the program stops after start-up, saying in one line that it has no display.
    int exitCode = -1;
    std::string errors = RunProgram(dir.Path(), exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(Count(errors, "no display"), 1u) << errors;
    EXPECT_EQ(Count(errors, "Line: "), 13u) << errors;
    EXPECT_NE(errors.find("Error: File: ..\\Gx\\GxD3DX.cpp; Line: 58; \nd3dx9_24.dll"), std::string::npos)
        << errors;
    EXPECT_LT(errors.find("Line: 58;"), errors.find("Line: 74;"));

    fs::copy_file(built / "libd3dx9_24.so", dir / "libd3dx9_24.so");
    errors = RunProgram(dir.Path(), exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(Count(errors, "Line: "), 0u) << errors;
}
} // namespace
