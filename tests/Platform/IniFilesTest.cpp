#include "Platform/Vcl/IniFiles.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{
std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

UnicodeString Wide(const std::filesystem::path& path)
{
    return UnicodeString(Platform::FromUtf8(path.string()));
}

TEST(IniFilesTest, KeysWriteInOrderReadWithoutCaseAndKeepTheirTypes)
{
    TempDir dir;
    TIniFile ini(Wide(dir / "view.ini"));
    ini.WriteInteger(u"Main_Viewport0", u"Lighting", 1);
    ini.WriteInteger(u"Main_Viewport0", u"Ambient", 8421504);
    ini.WriteFloat(u"Main_Viewport0", u"PointSize", 3.0);
    ini.WriteString(u"Other", u"Name", u"Камера");
    ini.WriteFloat(u"main_viewport0", u"POINTSIZE", 0.25); // same key, other case: replaced in place
    EXPECT_EQ(ReadAll(dir / "view.ini"), "[Main_Viewport0]\r\nLighting=1\r\nAmbient=8421504\r\nPointSize=0.25\r\n"
                                         "\r\n[Other]\r\nName=\xCA\xE0\xEC\xE5\xF0\xE0\r\n");
    EXPECT_EQ(ini.ReadInteger(u"MAIN_VIEWPORT0", u"ambient", 0), 8421504);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(u"Main_Viewport0", u"PointSize", 0), 0.25);
    EXPECT_EQ(ini.ReadString(u"other", u"name", u""), UnicodeString(u"Камера"));
    EXPECT_TRUE(ini.ReadBool(u"Main_Viewport0", u"Lighting", false));
    EXPECT_EQ(ini.ReadInteger(u"Main_Viewport0", u"Missing", -5), -5);
    EXPECT_EQ(ini.ReadString(u"Nowhere", u"Name", u"d"), UnicodeString(u"d"));
    std::vector<UnicodeString> keys;
    ini.ReadSection(u"Main_Viewport0", keys);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[2], UnicodeString(u"PointSize"));
    EXPECT_TRUE(ini.ValueExists(u"Other", u"NAME"));
    ini.DeleteKey(u"Other", u"Name");
    EXPECT_FALSE(ini.ValueExists(u"Other", u"Name"));
    ini.EraseSection(u"Other");
    EXPECT_FALSE(ini.SectionExists(u"Other"));
    EXPECT_TRUE(ini.SectionExists(u"Main_Viewport0"));
}

TEST(IniFilesTest, ForeignFilesGarbageAndBadNumbersFallBackToDefaults)
{
    TempDir dir;
    // LF line ends, blanks around names, comments, lines without '=' and binary noise.
    static const char text[] = "; comment\n[ S ]\n  Cull = 2 \nnoise\n=7\nHex=$1F\nX=0x10\n"
                               "Bad=12abc\nF=nan\nG=1e400\nBig=4294967296\n\x01\xFF\x00[\n";
    WriteAll(dir / "a.ini", std::string(text, sizeof(text) - 1));
    TIniFile ini(Wide(dir / "a.ini"));
    EXPECT_EQ(ini.ReadInteger(u"s", u"cull", 0), 2);
    EXPECT_EQ(ini.ReadInteger(u"S", u"Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger(u"S", u"X", 0), 16);
    EXPECT_EQ(ini.ReadInteger(u"S", u"Bad", 9), 9);
    EXPECT_EQ(ini.ReadInteger(u"S", u"Big", 9), 9);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(u"S", u"F", 1.5), 1.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(u"S", u"Bad", 1.5), 1.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat(u"S", u"G", 1.5), 1.5);
    EXPECT_EQ(ini.ReadString(u"S", u"", u"none"), UnicodeString(u"none"));

    TIniFile missing(Wide(dir / "none.ini"));
    EXPECT_EQ(missing.ReadInteger(u"S", u"Cull", 3), 3);
}

TEST(IniFilesTest, AFailedWriteRaisesAndKeepsTheOldFile)
{
    TempDir dir;
    std::filesystem::path path = dir / "s.ini";
    WriteAll(path, "[S]\r\nA=1\r\n");
    // The temporary file cannot be made where a folder of its name stands.
    std::filesystem::create_directory(dir / "s.ini.tmp");
    TIniFile ini(Wide(path));
    EXPECT_THROW(ini.WriteInteger(u"S", u"A", 2), EIniFileException);
    EXPECT_EQ(ReadAll(path), "[S]\r\nA=1\r\n");
    std::filesystem::remove(dir / "s.ini.tmp");
    ini.WriteInteger(u"S", u"A", 2);
    EXPECT_EQ(ReadAll(path), "[S]\r\nA=2\r\n");
}
} // namespace
