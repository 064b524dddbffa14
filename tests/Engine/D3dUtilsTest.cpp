#include "DirectX/D3dUtils.h"

#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace
{
TEST(D3dUtilsTest, CheckD3DThrowsTheTextOfEveryNonZeroCode)
{
    EXPECT_NO_THROW(CheckD3D(0));
    struct Case
    {
        uint32_t code;
        std::u16string text;
    };
    const Case cases[] = {
        {0x88760868u,
         u"The device is lost and cannot be restored at the current time, so rendering is not possible."},
        {0x88760869u, u"The device cannot be reset."},
        {0x8876086Cu,
         u"The method call is invalid. For example, a method's parameter may have an invalid value."},
        {0x80004005u, u"An undetermined error occurred inside the Direct3D subsystem."},
        {0x8876017Cu, u"Direct3D does not have enough display memory to perform the operation."},
        {0x88760827u, u"Internal driver error."},
        // Codes without a text of their own, success codes above zero among them.
        {0x88760820u, u"D3D call failed"},
        {1u, u"D3D call failed"},
        {0x88760B59u, u"D3D call failed"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThrownMessage([&] { CheckD3D(static_cast<HRESULT>(c.code)); }), c.text)
            << std::hex << c.code;

    // Each of the 23 codes has a text of its own.
    const uint32_t codes[] = {0x80004005, 0x8007000E, 0x80070057, 0x8876017C, 0x88760818, 0x88760819,
                              0x8876081A, 0x8876081B, 0x8876081C, 0x8876081D, 0x8876081E, 0x8876081F,
                              0x88760821, 0x88760822, 0x88760826, 0x88760827, 0x88760866, 0x88760867,
                              0x88760868, 0x88760869, 0x8876086A, 0x8876086B, 0x8876086C};
    std::set<std::string> texts;
    for (uint32_t code : codes)
        texts.insert(GetD3DResultText(static_cast<HRESULT>(code)));
    EXPECT_EQ(texts.size(), 23u);
    EXPECT_EQ(texts.count("D3D call failed"), 0u);
}

TEST(D3dUtilsTest, FormatBitsComeFromTheFortyOneRowTable)
{
    EXPECT_EQ(GetFormatBits(D3DFMT_D16), 16u);
    EXPECT_EQ(GetFormatBits(D3DFMT_DXT1), 0u);
    EXPECT_EQ(GetFormatBits(D3DFMT_R8G8B8), 24u);
    EXPECT_EQ(GetFormatBits(D3DFMT_A8R8G8B8), 32u);
    EXPECT_EQ(GetFormatBits(D3DFMT_A4L4), 8u);
    EXPECT_EQ(GetFormatBits(D3DFMT_A16B16G16R16), 0u) << "not in the table";
    EXPECT_EQ(GetFormatBits(static_cast<D3DFORMAT>(12345)), 0u);

    std::span<const D3DFormatDesc> table = GetFormatTable();
    ASSERT_EQ(table.size(), 41u);
    std::map<unsigned, int> rowsByBits;
    std::set<uint32_t> formats;
    for (const D3DFormatDesc& row : table)
    {
        ++rowsByBits[row.bits];
        formats.insert(row.format);
        EXPECT_EQ(std::string(row.name).rfind("D3DFMT_", 0), 0u) << row.name;
        EXPECT_GT(std::string(row.description).size(), 0u) << row.name;
    }
    EXPECT_EQ(formats.size(), 41u) << "no format twice";
    EXPECT_EQ(rowsByBits, (std::map<unsigned, int>{{0, 8}, {8, 6}, {16, 13}, {24, 1}, {32, 13}}));
    EXPECT_STREQ(table[19].description, "24-bit RGB pixel format with 8 bits per channel.");
}
} // namespace
