// The tile registry keeps its lists' textures for one device only.
#include "Gx/UI/GxTileManager.h"

#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

using namespace Gx::Ui;

namespace
{
// A new 8 x 8 texture of the device; the caller owns the reference.
IDirect3DTexture9* NewTexture(SoftDevice& d)
{
    IDirect3DTexture9* texture = nullptr;
    d.device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    return texture;
}
} // namespace

TEST(GxTileManagerTest, ListsLoseTheirTexturesWithEveryDeviceChange)
{
    SoftDevice device;
    ASSERT_NE(device.soft, nullptr);
    unsigned idle = device.soft->GetLiveResourceCount();
    {
        GxTileManager manager;
        EXPECT_EQ(manager.AddList(nullptr), -1);
        auto* before = new GxTileList;
        EXPECT_EQ(manager.AddList(before), 0);
        EXPECT_EQ(before->AddTile(new GxTile(u"open", u"0 0 16 16")), 0);
        EXPECT_EQ(before->AddTile(nullptr), -1);
        before->SetTexture(NewTexture(device));

        manager.CreateDevice(device.device);
        EXPECT_EQ(manager.GetDevice(), device.device);
        EXPECT_EQ(before->GetDevice(), device.device);
        EXPECT_EQ(before->GetTexture(), nullptr) << "made for no device or another one";
        EXPECT_EQ(before->GetTileCount(), 1u) << "the tiles stay";

        auto* after = new GxTileList;
        manager.AddList(after);
        EXPECT_EQ(after->GetDevice(), device.device) << "a new list takes the manager's device";
        before->SetTexture(NewTexture(device));
        after->SetTexture(NewTexture(device));
        EXPECT_EQ(device.soft->GetLiveResourceCount(), idle + 2);

        manager.InvalidateDevice(device.device);
        manager.RestoreDevice(device.device);
        EXPECT_EQ(device.soft->GetLiveResourceCount(), idle + 2) << "a lost device keeps managed textures";

        manager.ReleaseDevice(device.device);
        EXPECT_EQ(device.soft->GetLiveResourceCount(), idle);
        EXPECT_EQ(manager.GetDevice(), nullptr);
        EXPECT_EQ(after->GetDevice(), nullptr);

        after->SetTexture(NewTexture(device));
        after->SetTexture(NewTexture(device)); // the first one is released
        EXPECT_EQ(device.soft->GetLiveResourceCount(), idle + 1);
    }
    EXPECT_EQ(device.soft->GetLiveResourceCount(), idle) << "deleting the manager releases what its lists hold";
}
