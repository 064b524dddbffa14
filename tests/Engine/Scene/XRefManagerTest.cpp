#include "Engine/Scene/XRefManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace
{
struct Received
{
    XRefManager* sender;
    unsigned message;
    uintptr_t param;
    bool operator==(const Received&) const = default;
};

// A holder with one typed reference; its handler may be replaced per test.
class Holder : public XRefManager
{
public:
    explicit Holder(XRefManager* target = nullptr, unsigned mask = 0xFFFFFFFFu)
        : ref(this, target, mask)
    {
    }
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override
    {
        log.push_back({sender, message, param});
        if (onNotify)
            onNotify(sender, message);
    }

    XBaseReference ref;
    std::vector<Received> log;
    std::function<void(XRefManager*, unsigned)> onNotify;
};
} // namespace

TEST(XRefManagerTest, ListKeepsOneEntryPerReferenceAndMasksFilterMessages)
{
    XRefManager target;
    Holder all(&target);
    Holder none(&target, 0); // 1, 2 and 4 pass whatever the mask
    Holder some(&target, 0x200000);
    EXPECT_EQ(none.ref.GetMask(), 7u);
    EXPECT_EQ(target.GetReferenceCount(), 3u);

    target.AddReference(&all.ref);
    target.AddReference(nullptr);
    target.RemoveReference(nullptr);
    all.ref.SetTarget(&target); // unchanged target: no list change
    EXPECT_EQ(target.GetReferenceCount(), 3u);
    EXPECT_EQ(target.GetReference(0), &all.ref);
    EXPECT_EQ(target.GetReference(2), &some.ref);

    struct
    {
        unsigned message;
        bool all, none, some;
    } const cases[] = {
        {1, true, true, true},
        {2, true, true, true},
        {4, true, true, true},
        {0x200000, true, false, true},
        {0x400000, true, false, false},
        {0x77F00000, true, false, true}, // the modifier code shares bits with the texture code
    };
    for (const auto& c : cases)
    {
        all.log.clear();
        none.log.clear();
        some.log.clear();
        target.NotifyDependents(c.message, 9);
        SCOPED_TRACE(c.message);
        EXPECT_EQ(all.log.size(), c.all ? 1u : 0u);
        EXPECT_EQ(none.log.size(), c.none ? 1u : 0u);
        EXPECT_EQ(some.log.size(), c.some ? 1u : 0u);
        if (c.all)
        {
            EXPECT_EQ(all.log[0], (Received{&target, c.message, 9}));
        }
    }
}

TEST(XRefManagerTest, SelfReferenceIsNeverNotified)
{
    Holder self;
    self.ref.SetTarget(&self);
    self.NotifyDependents(XRM_MODIFIER_CHANGED, 0);
    EXPECT_TRUE(self.log.empty());
    EXPECT_EQ(self.GetReferenceCount(), 1u);
}

TEST(XRefManagerTest, DestroyingTargetNotifiesEachHolderOnceAndClearsThem)
{
    auto target = std::make_unique<XRefManager>();
    XRefManager* sender = target.get();
    Holder a(sender), b(sender), keepsNothing(sender);
    XReference<XRefManager> typed(&keepsNothing, sender);
    // a drops its reference itself, as nodes do; b leaves it for the destructor to clear.
    a.onNotify = [&](XRefManager*, unsigned m) {
        if (m == XRM_DELETED)
            a.ref.SetTarget(nullptr);
    };
    target.reset();

    EXPECT_EQ(a.log, (std::vector<Received>{{sender, 1, 0}}));
    EXPECT_EQ(b.log, (std::vector<Received>{{sender, 1, 0}}));
    EXPECT_EQ(keepsNothing.log.size(), 2u); // its own reference and the typed one
    EXPECT_EQ(a.ref.GetTarget(), nullptr);
    EXPECT_EQ(b.ref.GetTarget(), nullptr);
    EXPECT_EQ(typed.Get(), nullptr);
    EXPECT_FALSE(typed);
}

TEST(XRefManagerTest, HandlersMayDropOrRetargetAnyReferenceDuringThePass)
{
    // Each scenario: what the first holder's handler does to the others during message 1.
    enum Action
    {
        DropOwn,
        RetargetOwn,
        DeleteNextHolder,
        DeletePreviousHolder,
        RetargetNextThenBack,
        AddNewHolder,
    };
    for (Action action : {DropOwn, RetargetOwn, DeleteNextHolder, DeletePreviousHolder,
                          RetargetNextThenBack, AddNewHolder})
    {
        SCOPED_TRACE(action);
        auto target = std::make_unique<XRefManager>();
        XRefManager* sender = target.get();
        XRefManager other;
        auto first = std::make_unique<Holder>(sender);
        auto acting = std::make_unique<Holder>(sender);
        auto next = std::make_unique<Holder>(sender);
        std::unique_ptr<Holder> late;
        acting->onNotify = [&](XRefManager*, unsigned) {
            switch (action)
            {
            case DropOwn: acting->ref.SetTarget(nullptr); break;
            case RetargetOwn: acting->ref.SetTarget(&other); break;
            case DeleteNextHolder: next.reset(); break;
            case DeletePreviousHolder: first.reset(); break;
            case RetargetNextThenBack:
                next->ref.SetTarget(&other);
                next->ref.SetTarget(sender);
                break;
            case AddNewHolder: late = std::make_unique<Holder>(sender); break;
            }
        };
        target.reset();

        if (first)
        {
            EXPECT_EQ(first->log, (std::vector<Received>{{sender, 1, 0}}));
        }
        EXPECT_EQ(acting->log, (std::vector<Received>{{sender, 1, 0}}));
        if (next)
        {
            EXPECT_EQ(next->log.size(), 1u) << "notified once, even when it re-joined";
            EXPECT_EQ(next->ref.GetTarget(), nullptr);
        }
        if (late)
        {
            EXPECT_TRUE(late->log.empty()) << "joined during the pass";
            EXPECT_EQ(late->ref.GetTarget(), nullptr);
        }
        EXPECT_EQ(acting->ref.GetTarget(), action == RetargetOwn ? &other : nullptr);
        EXPECT_EQ(other.GetReferenceCount(), action == RetargetOwn ? 1u : 0u);
    }
}

TEST(XRefManagerTest, ManyHoldersAreAllNotified)
{
    // More holders than the snapshot keeps on the stack.
    auto target = std::make_unique<XRefManager>();
    std::vector<std::unique_ptr<Holder>> holders;
    for (int i = 0; i < 40; ++i)
        holders.push_back(std::make_unique<Holder>(target.get()));
    holders[0]->onNotify = [&](XRefManager*, unsigned) { holders[39].reset(); };
    target.reset();
    for (int i = 0; i < 39; ++i)
        EXPECT_EQ(holders[i]->log.size(), 1u) << i;
}

TEST(XRefManagerTest, ReplaceMovesEveryHolderToTheNewTarget)
{
    auto oldTarget = std::make_unique<XRefManager>();
    XRefManager newTarget;
    Holder existing(&newTarget);
    Holder a(oldTarget.get()), b(oldTarget.get()), c(oldTarget.get());
    XRefManager* sender = oldTarget.get();

    oldTarget->ReplaceReference(&newTarget);
    for (Holder* h : {&a, &b, &c})
    {
        EXPECT_EQ(h->log, (std::vector<Received>{{sender, 4, reinterpret_cast<uintptr_t>(&newTarget)}}));
        EXPECT_EQ(h->ref.GetTarget(), &newTarget);
    }
    EXPECT_EQ(oldTarget->GetReferenceCount(), 0u);
    ASSERT_EQ(newTarget.GetReferenceCount(), 4u);
    EXPECT_EQ(newTarget.GetReference(1), &a.ref);
    EXPECT_EQ(newTarget.GetReference(3), &c.ref);

    oldTarget.reset();
    EXPECT_EQ(a.log.size(), 1u) << "the old target has no dependents left";

    // Null or the object itself would leave holders pointing nowhere: refused.
    newTarget.ReplaceReference(nullptr);
    newTarget.ReplaceReference(&newTarget);
    EXPECT_EQ(newTarget.GetReferenceCount(), 4u);
    EXPECT_EQ(a.log.size(), 1u);

    // A holder released before its target leaves no entry behind.
    {
        Holder shortLived(&newTarget);
        EXPECT_EQ(newTarget.GetReferenceCount(), 5u);
    }
    EXPECT_EQ(newTarget.GetReferenceCount(), 4u);
}

TEST(XRefManagerTest, HandlerMayDestroyTheSender)
{
    // A holder that disposes of its target when it changes or is replaced: the pass must not
    // touch the target afterwards, and the remaining holders hear of the deletion instead.
    for (unsigned message : {XRM_MODIFIER_CHANGED, XRM_REPLACED})
    {
        SCOPED_TRACE(message);
        XRefManager* target = new XRefManager;
        XRefManager replacement;
        Holder destroyer(target), other(target);
        destroyer.onNotify = [&](XRefManager* sender, unsigned m) {
            if (m == message)
                delete sender;
        };
        if (message == XRM_REPLACED)
            target->ReplaceReference(&replacement);
        else
            target->NotifyDependents(message, 0);
        EXPECT_EQ(destroyer.ref.GetTarget(), nullptr);
        EXPECT_EQ(other.ref.GetTarget(), nullptr);
        ASSERT_EQ(other.log.size(), 1u);
        EXPECT_EQ(other.log[0].message, XRM_DELETED);
        EXPECT_EQ(replacement.GetReferenceCount(), 0u);
    }

    // A handler that throws leaves the object usable for later passes.
    XRefManager target;
    Holder thrower(&target);
    thrower.onNotify = [](XRefManager*, unsigned m) {
        if (m == XRM_TEXTURE_CHANGED)
            throw 1;
    };
    EXPECT_THROW(target.NotifyDependents(XRM_TEXTURE_CHANGED, 0), int);
    target.NotifyDependents(XRM_MATERIAL_CHANGED, 0);
    EXPECT_EQ(thrower.log.size(), 2u);
}
