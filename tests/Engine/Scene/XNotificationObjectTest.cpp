#include "Engine/Scene/XNotificationObject.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
struct Call
{
    XRefManager* target;
    unsigned message;
    uintptr_t param;
    bool operator==(const Call&) const = default;
};

// An owner in the viewport's pattern: on deletion of what it watches it falls back to another.
struct Owner
{
    void OnNotify(XRefManager* target, unsigned message, uintptr_t param)
    {
        calls.push_back({target, message, param});
        if (message == XRM_DELETED && fallback)
            watcher->SetTarget(fallback);
    }
    std::vector<Call> calls;
    XNotificationObject* watcher = nullptr;
    XRefManager* fallback = nullptr;
};
} // namespace

TEST(XNotificationObjectTest, PassesTheWatchedObjectsMessagesToTheEvent)
{
    XNotificationObject watcher;
    EXPECT_STREQ(watcher.GetTypeName(), "XNotificationObject");
    Owner owner;
    owner.watcher = &watcher;
    auto camera = std::make_unique<XRefManager>();
    XRefManager ownCamera, stranger;
    XRefManager* cameraAddress = camera.get();

    // Unassigned event: nothing is called, nothing breaks.
    watcher.SetTarget(camera.get());
    camera->NotifyDependents(XRM_MODIFIER_CHANGED, 0);

    watcher.SetOnNotify(XNotifyEvent::Bind<&Owner::OnNotify>(&owner));
    EXPECT_TRUE(watcher.GetOnNotify());
    EXPECT_EQ(watcher.GetOnNotify().GetObject(), &owner);

    // The watcher itself and the object already watched are refused.
    watcher.SetTarget(&watcher);
    watcher.SetTarget(camera.get());
    EXPECT_EQ(watcher.GetTarget(), camera.get());
    EXPECT_EQ(camera->GetReferenceCount(), 1u);

    camera->NotifyDependents(XRM_TEXTURE_CHANGED, 42);
    // A message from another sender than the watched one does not reach the event.
    watcher.Notification(&stranger, XRM_TEXTURE_CHANGED, 1);

    owner.fallback = &ownCamera;
    camera.reset();
    EXPECT_EQ(owner.calls, (std::vector<Call>{{cameraAddress, XRM_TEXTURE_CHANGED, 42},
                                              {cameraAddress, XRM_DELETED, 0}}));
    EXPECT_EQ(watcher.GetTarget(), &ownCamera);
    EXPECT_EQ(ownCamera.GetReferenceCount(), 1u);

    watcher.SetTarget(nullptr);
    EXPECT_EQ(ownCamera.GetReferenceCount(), 0u);
}

TEST(XNotificationObjectTest, WatcherDestroyedFirstLeavesNoEntry)
{
    XRefManager target;
    {
        XNotificationObject watcher;
        watcher.SetTarget(&target);
        EXPECT_EQ(target.GetReferenceCount(), 1u);
    }
    EXPECT_EQ(target.GetReferenceCount(), 0u);
}
