#include "Components/XPtrList.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using List = XPtrList<int>;

std::vector<int> Forward(const List& list)
{
    std::vector<int> values;
    for (List::XIterator it = list.GetHead(); !it.IsEmpty(); it = it.Next())
        values.push_back(**it);
    return values;
}

std::vector<int> Backward(const List& list)
{
    std::vector<int> values;
    for (List::XIterator it = list.GetTail(); !it.IsEmpty(); it = it.Prev())
        values.push_back(**it);
    return values;
}
} // namespace

TEST(XPtrListTest, InsertAfterLinksBothWays)
{
    int v[5] = {0, 1, 2, 3, 4};
    List list;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.GetTail().IsEmpty());
    EXPECT_EQ(*list.GetTail(), nullptr);
    EXPECT_EQ(*List::XIterator(), nullptr);

    // On an empty list the new node is the only one.
    List::XIterator first = list.InsertAfter(List::XIterator(), &v[0]);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetHead(), first);
    EXPECT_EQ(list.GetTail(), first);
    // On a non-empty list an empty iterator inserts nothing.
    EXPECT_TRUE(list.InsertAfter(List::XIterator(), &v[1]).IsEmpty());
    EXPECT_EQ(list.GetCount(), 1u);

    list.InsertAfter(list.GetTail(), &v[2]);
    EXPECT_EQ(*list.GetTail(), &v[2]);
    list.InsertAfter(first, &v[1]);
    list.InsertAfter(list.GetTail(), &v[4]);
    list.InsertAfter(list.GetTail().Prev(), &v[3]);
    EXPECT_EQ(list.GetCount(), 5u);
    EXPECT_EQ(Forward(list), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(Backward(list), (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_NE(list.GetHead(), list.GetTail());
    EXPECT_EQ(list.GetHead().Next().Next(), list.GetTail().Prev().Prev());
    EXPECT_TRUE(list.GetTail().Next().IsEmpty());
    EXPECT_TRUE(list.GetHead().Prev().IsEmpty());
}

TEST(XPtrListTest, DeleteReturnsTheFollowingNode)
{
    int v[4] = {0, 1, 2, 3};
    List list;
    List::XIterator it;
    for (int& value : v)
        it = list.InsertAfter(it, &value);
    ASSERT_EQ(Forward(list), (std::vector<int>{0, 1, 2, 3}));

    // Middle, head, tail: head, tail and both directions stay consistent.
    List::XIterator next = list.Delete(list.GetHead().Next());
    EXPECT_EQ(*next, &v[2]);
    EXPECT_EQ(Forward(list), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(Backward(list), (std::vector<int>{3, 2, 0}));
    next = list.Delete(list.GetHead());
    EXPECT_EQ(next, list.GetHead());
    EXPECT_EQ(Backward(list), (std::vector<int>{3, 2}));
    next = list.Delete(list.GetTail());
    EXPECT_TRUE(next.IsEmpty());
    EXPECT_EQ(*list.GetTail(), &v[2]);
    EXPECT_EQ(list.GetCount(), 1u);

    // An empty iterator deletes nothing.
    EXPECT_TRUE(list.Delete(List::XIterator()).IsEmpty());
    EXPECT_EQ(list.GetCount(), 1u);

    // The only node: the list is empty again and can be filled anew.
    next = list.Delete(list.GetTail());
    EXPECT_TRUE(next.IsEmpty());
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_TRUE(list.GetHead().IsEmpty());
    EXPECT_TRUE(list.GetTail().IsEmpty());
    list.InsertAfter(List::XIterator(), &v[3]);
    EXPECT_EQ(Forward(list), (std::vector<int>{3}));
    EXPECT_EQ(v[0] + v[1] + v[2] + v[3], 6);
}

TEST(XPtrListTest, ClearFreesNodesButNotElements)
{
    int* owned = new int(7);
    {
        List list;
        list.InsertAfter(List::XIterator(), owned);
        list.InsertAfter(list.GetTail(), owned);
        list.Clear();
        EXPECT_EQ(list.GetCount(), 0u);
        EXPECT_TRUE(list.GetHead().IsEmpty());
        EXPECT_TRUE(list.GetTail().IsEmpty());
        list.InsertAfter(List::XIterator(), owned);
        list.InsertAfter(list.GetTail(), owned);
    }
    EXPECT_EQ(*owned, 7);
    delete owned;

    List::XPtrListNode* node = List::NewNode(nullptr);
    EXPECT_EQ(node->Next, nullptr);
    EXPECT_EQ(node->Prev, nullptr);
    EXPECT_EQ(node->Element, nullptr);
    delete node;
}
