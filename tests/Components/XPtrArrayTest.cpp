#include "Components/XPtrArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
// Records the ids of destroyed items, through a virtual destructor.
struct Item
{
    static std::vector<int> destroyed;
    int id;
    explicit Item(int i) : id(i) {}
    virtual ~Item() { destroyed.push_back(id); }
};
std::vector<int> Item::destroyed;

struct DerivedItem : Item
{
    static int derivedDestroyed;
    using Item::Item;
    ~DerivedItem() override { ++derivedDestroyed; }
};
int DerivedItem::derivedDestroyed = 0;

template <class A> std::vector<int> Ids(const A& array)
{
    std::vector<int> ids;
    for (uint32_t i = 0; i < array.GetCount(); ++i)
        ids.push_back(array.GetData()[i]->id);
    return ids;
}
} // namespace

TEST(XPtrArrayTest, InsertDeleteRemoveKeepOrder)
{
    Item::destroyed.clear();
    Item a(1), b(2), c(3), d(4);
    XPtrArray<Item, 8> list;
    EXPECT_EQ(list.Add(&a), 0u);
    EXPECT_EQ(list.Add(&c), 1u);
    EXPECT_EQ(list.Insert(1, &b), 1u);
    EXPECT_EQ(list.Insert(0, &d), 0u);
    EXPECT_EQ(Ids(list), (std::vector<int>{4, 1, 2, 3}));
    // Past the count: appended, and the index returned is where it went.
    EXPECT_EQ(list.Insert(100, &d), 4u);
    EXPECT_EQ(Ids(list), (std::vector<int>{4, 1, 2, 3, 4}));
    EXPECT_EQ(list.IndexOf(&d), 0);
    EXPECT_EQ(list.IndexOf(nullptr), -1);

    EXPECT_FALSE(list.Delete(5));
    EXPECT_FALSE(list.Delete(UINT32_MAX));
    EXPECT_EQ(list.GetCount(), 5u);
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(list.Remove(&c));
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 4}));
    Item absent(9);
    EXPECT_TRUE(list.Remove(&absent));
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 4}));

    list += &c;
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 4, 3}));
    XPtrArray<Item, 8> other;
    list += other;
    EXPECT_EQ(list.GetCount(), 4u);
    other.Add(&a);
    list += other;
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 4, 3, 1}));
    list += list;
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 4, 3, 1, 1, 2, 4, 3, 1}));

    // The copy is a snapshot; Clear frees the slots and leaves the items alone.
    XPtrArray<Item, 8> snapshot(list);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetCapacity(), 0u);
    EXPECT_EQ(list.GetData(), nullptr);
    EXPECT_EQ(snapshot.GetCount(), 10u);
    EXPECT_EQ(snapshot[2], &d);
    EXPECT_TRUE(Item::destroyed.empty());
}

TEST(XPtrArrayTest, GrowthIsExact)
{
    int values[4] = {};
    XPtrArray<int, 8> list;
    for (int i = 0; i < 4; ++i)
    {
        list.Add(&values[i]);
        EXPECT_EQ(list.GetCapacity(), list.GetCount());
    }
    list.SetCount(1);
    EXPECT_EQ(list.GetCapacity(), 4u);
    list.SetCount(4);
    EXPECT_EQ(list[3], &values[3]);
}

TEST(XPtrArrayTest, OutOfRangeIsAnXException)
{
    int value = 0;
    XPtrArray<int, 8> list;
    list.Add(&value);
    bool narrow = false;
    std::u16string message;
    try
    {
        try
        {
            list[1];
        }
        catch (const char*)
        {
            narrow = true;
        }
    }
    catch (const XException& e)
    {
        message = e.Message().str();
    }
    EXPECT_FALSE(narrow);
    EXPECT_EQ(message, u"Out of range.");

    XPtrOwnArray<Item, 4> owned;
    EXPECT_THROW(owned[0], XException);
    const XPtrArray<int, 8>& constant = list;
    EXPECT_THROW(constant[UINT32_MAX], XException);
    EXPECT_EQ(constant[0], &value);
}

TEST(XPtrArrayTest, OwnedArrayGrowsByItsStepAndDeletesWhatLeaves)
{
    Item::destroyed.clear();
    Item outside(50);
    {
        XPtrOwnArray<Item, 4> owned;
        for (int i = 0; i < 4; ++i)
            owned.Add(new Item(i));
        EXPECT_EQ(owned.GetCapacity(), 4u);
        owned.Add(new Item(4));
        EXPECT_EQ(owned.GetCapacity(), 8u);
        EXPECT_EQ(owned.GetCount(), 5u);

        owned.SetCount(2);
        std::vector<int> dropped = Item::destroyed;
        std::sort(dropped.begin(), dropped.end());
        EXPECT_EQ(dropped, (std::vector<int>{2, 3, 4}));
        EXPECT_EQ(owned.GetCapacity(), 8u);
        // Raised again, the dropped slots are empty, not dangling.
        owned.SetCount(3);
        EXPECT_EQ(owned[2], nullptr);
        owned.SetCount(2);
        EXPECT_EQ(Item::destroyed.size(), 3u);

        // A request beyond the step takes the requested count.
        owned.SetCount(10);
        EXPECT_EQ(owned.GetCapacity(), 12u);
        owned.SetCount(30);
        EXPECT_EQ(owned.GetCapacity(), 30u);
        owned.SetCount(2);

        Item::destroyed.clear();
        owned.Insert(1, new Item(10));
        owned.Insert(99, new Item(11));
        EXPECT_EQ(Ids(owned), (std::vector<int>{0, 10, 1, 11}));
        EXPECT_FALSE(owned.Delete(4));
        EXPECT_TRUE(Item::destroyed.empty());
        EXPECT_TRUE(owned.Delete(1));
        EXPECT_EQ(Item::destroyed, (std::vector<int>{10}));
        EXPECT_EQ(Ids(owned), (std::vector<int>{0, 1, 11}));

        EXPECT_TRUE(owned.Remove(&outside));
        EXPECT_EQ(owned.GetCount(), 3u);
        Item* one = owned[1];
        EXPECT_TRUE(owned.Remove(one));
        EXPECT_EQ(Item::destroyed, (std::vector<int>{10, 1}));
        EXPECT_EQ(Ids(owned), (std::vector<int>{0, 11}));

        // A smaller capacity deletes the elements beyond it.
        owned.Add(new Item(12));
        owned.SetCapacity(1);
        EXPECT_EQ(owned.GetCount(), 1u);
        EXPECT_EQ(owned.GetCapacity(), 1u);
        EXPECT_EQ(Item::destroyed, (std::vector<int>{10, 1, 12, 11}));

        Item::destroyed.clear();
        owned.Add(new Item(20));
        owned.Clear();
        EXPECT_EQ(owned.GetCount(), 0u);
        EXPECT_EQ(owned.GetCapacity(), 0u);
        std::sort(Item::destroyed.begin(), Item::destroyed.end());
        EXPECT_EQ(Item::destroyed, (std::vector<int>{0, 20}));

        Item::destroyed.clear();
        owned.Add(new Item(30));
        owned.Add(new DerivedItem(31));
        owned.Add(nullptr);
    }
    // The destructor deletes every element, through the virtual destructor.
    std::sort(Item::destroyed.begin(), Item::destroyed.end());
    EXPECT_EQ(Item::destroyed, (std::vector<int>{30, 31}));
    EXPECT_EQ(DerivedItem::derivedDestroyed, 1);
    Item::destroyed.clear();
}
