// The tile registry keeps its lists' textures for one device only.
#include "Gx/UI/GxTileManager.h"

#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

using namespace Gx::Ui;

TEST(GxTileManagerTest, ListsLoseTheirTexturesWithEveryDeviceChange)
{
    SoftDevice device;
    ASSERT_NE(device.Get(), nullptr);
    unsigned idle = device.LiveResources();
    {
        GxTileManager manager;
        EXPECT_EQ(manager.AddList(nullptr), -1);
        auto* before = new GxTileList;
        EXPECT_EQ(manager.AddList(before), 0);
        EXPECT_EQ(before->AddTile(new GxTile(u"open", u"0 0 16 16")), 0);
        EXPECT_EQ(before->AddTile(nullptr), -1);
        before->SetTexture(device.CreateTexture());

        manager.CreateDevice(device.Get());
        EXPECT_EQ(manager.GetDevice(), device.Get());
        EXPECT_EQ(before->GetDevice(), device.Get());
        EXPECT_EQ(before->GetTexture(), nullptr) << "made for no device or another one";
        EXPECT_EQ(before->GetTileCount(), 1u) << "the tiles stay";

        auto* after = new GxTileList;
        manager.AddList(after);
        EXPECT_EQ(after->GetDevice(), device.Get()) << "a new list takes the manager's device";
        before->SetTexture(device.CreateTexture());
        after->SetTexture(device.CreateTexture());
        EXPECT_EQ(device.LiveResources(), idle + 2);

        manager.InvalidateDevice(device.Get());
        manager.RestoreDevice(device.Get());
        EXPECT_EQ(device.LiveResources(), idle + 2) << "a lost device keeps managed textures";

        manager.ReleaseDevice(device.Get());
        EXPECT_EQ(device.LiveResources(), idle);
        EXPECT_EQ(manager.GetDevice(), nullptr);
        EXPECT_EQ(after->GetDevice(), nullptr);

        after->SetTexture(device.CreateTexture());
        after->SetTexture(device.CreateTexture()); // the first one is released
        EXPECT_EQ(device.LiveResources(), idle + 1);
    }
    EXPECT_EQ(device.LiveResources(), idle) << "deleting the manager releases what its lists hold";
}
