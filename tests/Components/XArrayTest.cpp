#include "Components/XArray.h"

#include "Components/XException.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
// Counts live instances so that every construction is matched by a destruction.
struct Counted
{
    static int live;
    int value = 0;
    Counted() { ++live; }
    Counted(int v) : value(v) { ++live; }
    Counted(const Counted& other) : value(other.value) { ++live; }
    Counted& operator=(const Counted& other) = default;
    ~Counted() { --live; }
    bool operator==(const Counted& other) const { return value == other.value; }
};
int Counted::live = 0;
} // namespace

TEST(XArrayTest, GrowthIsExactAndTheCountNeverShrinksStorage)
{
    XArray<int, 32> a;
    EXPECT_EQ(a.GetCount(), 0u);
    EXPECT_EQ(a.GetCapacity(), 0u);
    EXPECT_EQ(a.GetData(), nullptr);

    a.SetCount(5);
    EXPECT_EQ(a.GetCount(), 5u);
    EXPECT_EQ(a.GetCapacity(), 5u);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(a[i], 0);
    EXPECT_EQ(a.Add(42), 5u);
    EXPECT_EQ(a.GetCount(), 6u);
    EXPECT_EQ(a.GetCapacity(), 6u);
    EXPECT_EQ(a[5], 42);

    // Lowering the count keeps the storage; raising it again shows the old elements.
    int* data = a.GetData();
    a.SetCount(0);
    EXPECT_EQ(a.GetCapacity(), 6u);
    EXPECT_EQ(a.GetData(), data);
    a.SetCount(6);
    EXPECT_EQ(a.GetData(), data);
    EXPECT_EQ(a[5], 42);

    a.Clear();
    EXPECT_EQ(a.GetCount(), 0u);
    EXPECT_EQ(a.GetCapacity(), 0u);
    EXPECT_EQ(a.GetData(), nullptr);

    // Appending one at a time grows to exactly the count each time.
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_EQ(a.Add(i * 10), static_cast<uint32_t>(i));
        EXPECT_EQ(a.GetCapacity(), a.GetCount());
    }
    for (uint32_t i = 0; i < 10; ++i)
        EXPECT_EQ(a[i], static_cast<int>(i * 10));

    // A smaller capacity cuts the count and keeps the first elements.
    a.SetCapacity(3);
    EXPECT_EQ(a.GetCount(), 3u);
    EXPECT_EQ(a.GetCapacity(), 3u);
    EXPECT_EQ(a[2], 20);
    a.SetCapacity(8);
    EXPECT_EQ(a.GetCount(), 3u);
    EXPECT_EQ(a[1], 10);
}

TEST(XArrayTest, OutOfRangeIsANarrowThrow)
{
    XArray<int, 32> a;
    a.Add(1);
    const char* caught = nullptr;
    bool xexception = false;
    try
    {
        try
        {
            a[1];
        }
        catch (const XException&)
        {
            xexception = true;
        }
    }
    catch (const char* text)
    {
        caught = text;
    }
    EXPECT_FALSE(xexception);
    ASSERT_NE(caught, nullptr);
    EXPECT_STREQ(caught, "Out of range.");

    const XArray<int, 32>& constant = a;
    EXPECT_THROW(constant[UINT32_MAX], const char*);
    XArray<int, 32> empty;
    EXPECT_THROW(empty[0], const char*);
    EXPECT_NO_THROW(a[0]);
    // Unchecked access through the data pointer stays available.
    EXPECT_EQ(a.GetData()[0], 1);
}

TEST(XArrayTest, DeleteIndexOfAndCopies)
{
    XArray<std::string, 8> a;
    for (const char* text : {"a", "b", "c", "b"})
        a.Add(text);
    EXPECT_EQ(a.IndexOf("b"), 1);
    EXPECT_EQ(a.IndexOf("z"), -1);
    EXPECT_FALSE(a.Delete(4));
    EXPECT_EQ(a.GetCount(), 4u);
    EXPECT_TRUE(a.Delete(0));
    ASSERT_EQ(a.GetCount(), 3u);
    EXPECT_EQ(a[0], "b");
    EXPECT_EQ(a[1], "c");
    EXPECT_EQ(a[2], "b");
    EXPECT_EQ(a.GetCapacity(), 4u);

    XArray<std::string, 8> copy(a);
    ASSERT_EQ(copy.GetCount(), 3u);
    EXPECT_NE(copy.GetData(), a.GetData());
    copy[0] = "changed";
    EXPECT_EQ(a[0], "b");

    XArray<std::string, 8> shorter;
    shorter.Add("x");
    shorter = a;
    EXPECT_EQ(shorter.GetCount(), 3u);
    EXPECT_EQ(shorter[2], "b");
    XArray<std::string, 8>& alias = shorter;
    shorter = alias;
    EXPECT_EQ(shorter[0], "b");

    // Plain values take the block-copy road: growing past the capacity, shrinking within it and
    // growing back within it keep every element.
    XArray<int, 32> big, small, target;
    for (int i = 0; i < 100; ++i)
        big.Add(i * 3);
    small.Add(7);
    target = small;
    target = big;
    ASSERT_EQ(target.GetCount(), 100u);
    EXPECT_EQ(target[99], 297);
    target = small;
    EXPECT_EQ(target.GetCount(), 1u);
    EXPECT_EQ(target.GetCapacity(), 100u);
    target = big;
    EXPECT_EQ(target.GetCapacity(), 100u);
    EXPECT_EQ(target[50], 150);
    target = XArray<int, 32>();
    EXPECT_EQ(target.GetCount(), 0u);

    // Adding an element of the array itself while it reallocates.
    XArray<std::string, 8> grow;
    grow.Add(std::string(100, 'q'));
    grow.Add(grow[0]);
    grow.Add(grow[1]);
    EXPECT_EQ(grow[2], std::string(100, 'q'));
}

TEST(XArrayTest, ElementsLiveAndDieWithTheStorage)
{
    Counted::live = 0;
    {
        XArray<Counted, 32> a;
        a.SetCount(4);
        EXPECT_EQ(Counted::live, 4);
        a.Add(Counted(7));
        EXPECT_EQ(Counted::live, 5);
        EXPECT_EQ(a.IndexOf(Counted(7)), 4);
        a.SetCount(1);
        EXPECT_EQ(Counted::live, 5);
        a.SetCapacity(2);
        EXPECT_EQ(Counted::live, 2);
        XArray<Counted, 32> b(a);
        EXPECT_EQ(Counted::live, 3);
    }
    EXPECT_EQ(Counted::live, 0);
}
