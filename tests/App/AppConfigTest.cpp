#include "App/AppConfig.h"

#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using VarUtils::XVariant;

namespace
{
class AppConfigTest : public ::testing::Test
{
protected:
    std::string Bytes() const { return ReadWholeFile(m_Dir / "Kelvane.xml"); }
    void WriteBytes(const std::string& bytes) const { WriteWholeFile(m_Dir / "Kelvane.xml", bytes); }

    TempDir m_Dir{"kelvane_cfg"};
    std::u16string m_File = WidePath(m_Dir / "Kelvane.xml");
};

bool IsEmpty(CxXml::XmlDocument& document)
{
    return document.GetNodes().GetCount() == 0 && document.GetValues().GetCount() == 0 &&
           document.GetAttributes().GetCount() == 0 && document.GetValue()[0] == 0;
}

std::u16string ValueText(CxXml::XmlNode& node, const WCHAR* name)
{
    CxXml::XmlValue* value = node.FindValue(name);
    return value ? std::u16string(value->GetValue()) : u"<absent>";
}

TEST_F(AppConfigTest, AnotherRootNameLoadsAndSavesAsConfig)
{
    {
        CxXml::XmlDocument file;
        file.SetName(u"Settings");
        file.AddValue(u"PackageFilePath", XString(u"C:\\Games\\Models.pck"));
        file.AddValue(u"PackageCompression", XVariant(5));
        file.SaveToFile(m_File.c_str());
    }
    {
        AppConfig config(m_File.c_str());
        EXPECT_EQ(std::u16string(config.GetName()), u"Config");
        EXPECT_EQ(ValueText(config, u"PackageFilePath"), u"C:\\Games\\Models.pck");
        EXPECT_EQ(config.ReadValue(u"PackageCompression", XVariant(1)).AsInt(), 5);
        EXPECT_EQ(std::u16string(config.GetFileName()), m_File);
    }
    std::string bytes = Bytes();
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes.find(Utf16Le(u"<Config")), std::string::npos);
    EXPECT_EQ(bytes.find(Utf16Le(u"Settings")), std::string::npos);

    CxXml::XmlDocument saved;
    saved.LoadFromFile(m_File.c_str());
    EXPECT_EQ(std::u16string(saved.GetName()), u"Config");
    EXPECT_EQ(ValueText(saved, u"PackageFilePath"), u"C:\\Games\\Models.pck");
    EXPECT_EQ(ValueText(saved, u"PackageCompression"), u"5");
}

TEST_F(AppConfigTest, MissingOrGarbledFileGivesAnEmptyDocument)
{
    {
        AppConfig config(m_File.c_str());
        EXPECT_EQ(std::u16string(config.GetName()), u"Config");
        EXPECT_TRUE(IsEmpty(config));
    }
    // The exit writes a new file.
    ASSERT_TRUE(fs::exists(m_Dir / "Kelvane.xml"));
    {
        CxXml::XmlDocument saved;
        saved.LoadFromFile(m_File.c_str());
        EXPECT_EQ(std::u16string(saved.GetName()), u"Config");
        EXPECT_TRUE(IsEmpty(saved));
    }

    // Broken after a value, a child and an attribute have been read: none of them survive. Every
    // cut of the file is garbled as well.
    std::string good =
        Utf16LeWithBom(u"<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n<Settings Kind=\"x\">\r\n"
                       u"<Node A=\"1\"/>\r\n<PackageFilePath>C:\\x.pck</PackageFilePath>\r\n");
    WriteBytes(good + Utf16Le(u"</Settings>"));
    {
        AppConfig whole(m_File.c_str());
        EXPECT_EQ(whole.GetNodes().GetCount(), 1u);
        EXPECT_EQ(ValueText(whole, u"PackageFilePath"), u"C:\\x.pck");
    }
    std::vector<std::string> garbled = {good + Utf16Le(u"<<<"), "\x01\x02\x03", std::string(1, '\0')};
    for (size_t cut = 0; cut < good.size(); ++cut)
        garbled.push_back(good.substr(0, cut));
    for (const std::string& bytes : garbled)
    {
        WriteBytes(bytes);
        AppConfig config(m_File.c_str());
        EXPECT_EQ(std::u16string(config.GetName()), u"Config");
        EXPECT_TRUE(IsEmpty(config)) << bytes.size();
    }
}

TEST_F(AppConfigTest, ValuesSurviveASaveAndALoad)
{
    XAnsiString tailer("Models \xCC\xEE\xE4\xE5\xEB\xE8 & \"quoted\" <tag>");
    {
        AppConfig config(m_File.c_str());
        XVariant narrow;
        narrow = tailer;
        config.Clear();
        config.AddValue(u"PackageFilePath", XString(u"/games/\u041C/Models.pck"));
        config.AddValue(u"PackageTailer", narrow);
        config.AddValue(u"PackageCompression", XVariant(9));
    }
    {
        AppConfig config(m_File.c_str());
        ASSERT_EQ(config.GetValues().GetCount(), 3u);
        EXPECT_EQ(ValueText(config, u"PackageFilePath"), u"/games/\u041C/Models.pck");
        XAnsiString read = config.ReadValue(u"PackageTailer", XVariant()).AsAnsiString();
        EXPECT_STREQ(read.c_str(), tailer.c_str());
        EXPECT_EQ(config.ReadValue(u"PackageCompression", XVariant(1)).AsInt(), 9);
        // Absent keys give the caller's defaults.
        EXPECT_EQ(config.ReadValue(u"Other", XVariant(1)).AsInt(), 1);
    }

    // A file that cannot be written is ignored at exit.
    std::u16string unwritable = WidePath(m_Dir / "missing" / "Kelvane.xml");
    auto config = std::make_unique<AppConfig>(unwritable.c_str());
    config->AddValue(u"PackageCompression", XVariant(3));
    EXPECT_NO_THROW(config.reset());
    EXPECT_FALSE(fs::exists(m_Dir / "missing"));
}
} // namespace
