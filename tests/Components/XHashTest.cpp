#include "Components/XHash.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace
{
struct Item
{
    std::string name;
    uint32_t key;
    XGuid guid;
};

// Every value of the key's bucket, in chain order.
template <class H, class K> std::vector<Item*> Chain(H& hash, const K& key)
{
    std::vector<Item*> result;
    for (Item* item = hash.FindFirst(key); item; item = hash.FindNext())
        result.push_back(item);
    return result;
}

// What the scene does: walk the bucket and confirm each candidate.
Item* FindByName(XHash<Item>& hash, const std::string& name, uint32_t key)
{
    for (Item* item = hash.FindFirst(key); item; item = hash.FindNext())
        if (item->name == name)
            return item;
    return nullptr;
}

Item* FindByGuid(XExHash<Item*, XGuid>& hash, const XGuid& guid)
{
    for (Item* item = hash.FindFirst(guid); item; item = hash.FindNext())
        if (item->guid == guid)
            return item;
    return nullptr;
}
} // namespace

TEST(XHashTest, SameKeyEnumeratesLatestFirstAndRemoveChecksTheBucket)
{
    XHash<Item> hash(512, 128);
    Item a{"a", 7, {}}, b{"b", 7, {}}, c{"c", 7 + 512, {}};
    EXPECT_EQ(hash.FindFirst(7), nullptr);
    EXPECT_EQ(hash.FindNext(), nullptr);

    hash.Add(&a, 7);
    hash.Add(&b, 7);
    EXPECT_EQ(hash.FindFirst(7), &b);
    EXPECT_EQ(hash.FindNext(), &a);
    EXPECT_EQ(hash.FindNext(), nullptr);
    EXPECT_EQ(hash.FindNext(), nullptr);

    // A colliding key shares the chain: enumeration shows it, the caller filters it out.
    hash.Add(&c, c.key);
    EXPECT_EQ(Chain(hash, 7u), (std::vector<Item*>{&c, &b, &a}));
    EXPECT_EQ(Chain(hash, 7u + 512), (std::vector<Item*>{&c, &b, &a}));
    EXPECT_EQ(FindByName(hash, "a", 7), &a);
    EXPECT_EQ(FindByName(hash, "c", 7 + 512), &c);
    EXPECT_EQ(hash.GetCount(), 3u);

    // Remove compares values only, within the key's bucket.
    EXPECT_EQ(hash.Remove(&a, 8), nullptr);
    EXPECT_EQ(hash.GetCount(), 3u);
    EXPECT_EQ(hash.Remove(&a, 7 + 512), &a);
    EXPECT_EQ(hash.GetCount(), 2u);
    EXPECT_EQ(hash.Remove(&a, 7), nullptr);
    EXPECT_EQ(Chain(hash, 7u), (std::vector<Item*>{&c, &b}));

    // The same value twice: each Remove takes one node.
    hash.Add(&b, 7);
    EXPECT_EQ(Chain(hash, 7u), (std::vector<Item*>{&b, &c, &b}));
    EXPECT_EQ(hash.Remove(&b, 7), &b);
    EXPECT_EQ(Chain(hash, 7u), (std::vector<Item*>{&c, &b}));

    // Removing while enumerating never leaves the position dangling.
    hash.Add(&a, 7);
    EXPECT_EQ(hash.FindFirst(7), &a);
    EXPECT_EQ(hash.FindNext(), &c);
    EXPECT_EQ(hash.Remove(&c, 7), &c);
    EXPECT_EQ(hash.FindNext(), nullptr);
    EXPECT_EQ(Chain(hash, 7u), (std::vector<Item*>{&a, &b}));
}

TEST(XHashTest, FindsByNameAndByGuidAfterRemovals)
{
    const uint32_t n = 1000;
    std::vector<Item> items(n);
    XHash<Item> names(512, 128);
    XExHash<Item*, XGuid> guids(512, 128);
    for (uint32_t i = 0; i < n; ++i)
    {
        items[i].name = "Box" + std::to_string(i);
        // Few distinct keys: long chains full of other names.
        items[i].key = i % 37;
        items[i].guid = XGuid(i * 2654435761u, static_cast<uint16_t>(i), 0x4000, i ^ 0xA5A5A5A5, ~i);
        names.Add(&items[i], items[i].key);
        guids.Add(&items[i], items[i].guid);
    }
    EXPECT_EQ(names.GetCount(), n);
    EXPECT_EQ(guids.GetCount(), n);
    EXPECT_EQ(names.GetBlockCount(), (n + 127) / 128);

    for (uint32_t i = 0; i < n; i += 3)
    {
        EXPECT_EQ(names.Remove(&items[i], items[i].key), &items[i]);
        EXPECT_EQ(guids.Remove(&items[i], items[i].guid), &items[i]);
    }
    uint32_t left = n - (n + 2) / 3;
    EXPECT_EQ(names.GetCount(), left);
    EXPECT_EQ(guids.GetCount(), left);
    for (uint32_t i = 0; i < n; ++i)
    {
        Item* expected = i % 3 ? &items[i] : nullptr;
        EXPECT_EQ(FindByName(names, items[i].name, items[i].key), expected) << i;
        EXPECT_EQ(FindByGuid(guids, items[i].guid), expected) << i;
    }

    // Removed nodes are reused before a new block is drawn.
    uint32_t blocks = names.GetBlockCount();
    for (uint32_t i = 0; i < n; i += 3)
        names.Add(&items[i], items[i].key);
    EXPECT_EQ(names.GetBlockCount(), blocks);
    EXPECT_EQ(FindByName(names, "Box0", 0), &items[0]);

    // A null GUID is a key like any other.
    Item nullItem{"null", 0, XGuid()};
    guids.Add(&nullItem, XGuid());
    EXPECT_EQ(FindByGuid(guids, XGuid()), &nullItem);
}

TEST(XHashTest, PoolBlocksAndClear)
{
    std::vector<Item> items(300);
    XHash<Item> hash(512, 128);
    for (uint32_t i = 0; i < 128; ++i)
        hash.Add(&items[i], i);
    EXPECT_EQ(hash.GetBlockCount(), 1u);
    hash.Add(&items[128], 128);
    EXPECT_EQ(hash.GetBlockCount(), 2u);
    EXPECT_EQ(hash.GetCount(), 129u);

    hash.Clear();
    EXPECT_EQ(hash.GetCount(), 0u);
    EXPECT_EQ(hash.GetBlockCount(), 0u);
    for (uint32_t i = 0; i < 512; ++i)
        EXPECT_EQ(hash.FindFirst(i), nullptr) << i;
    EXPECT_EQ(hash.FindNext(), nullptr);

    // Usable again after Clear, and Clear of an empty hash is harmless.
    hash.Clear();
    hash.Add(&items[5], 5);
    EXPECT_EQ(hash.FindFirst(5), &items[5]);
    EXPECT_EQ(hash.GetBlockCount(), 1u);

    // Degenerate sizes are taken as 1: everything shares one bucket, one node per block.
    XHash<Item> tiny(0, 0);
    EXPECT_EQ(tiny.GetBucketCount(), 1u);
    tiny.Add(&items[0], 0);
    tiny.Add(&items[1], 12345);
    EXPECT_EQ(tiny.GetBlockCount(), 2u);
    EXPECT_EQ(Chain(tiny, 99u), (std::vector<Item*>{&items[1], &items[0]}));
    // Destruction with values still filed frees the pool (checked by the leak sanitizer).
}

TEST(XHashTest, ResizeRefilesEveryNode)
{
    std::vector<Item> items(200);
    XExHash<Item*, XGuid> hash(4, 16);
    for (uint32_t i = 0; i < items.size(); ++i)
    {
        items[i].guid = XGuid(i, 0, 0, 0, i * 3);
        hash.Add(&items[i], items[i].guid);
    }
    hash.FindFirst(items[0].guid);

    hash.Resize(97);
    EXPECT_EQ(hash.GetBucketCount(), 97u);
    EXPECT_EQ(hash.GetCount(), 200u);
    std::set<Item*> seen;
    for (uint32_t b = 0; b < 97; ++b)
    {
        // Any key whose hash falls in bucket b.
        XGuid probe(b, 0, 0, 0, 0);
        for (Item* item : Chain(hash, probe))
        {
            EXPECT_EQ(item->guid.Hash() % 97, b);
            EXPECT_TRUE(seen.insert(item).second);
        }
    }
    EXPECT_EQ(seen.size(), 200u);
    for (Item& item : items)
        EXPECT_EQ(FindByGuid(hash, item.guid), &item);

    // Shrinking to one bucket, then an enumeration left in a bucket that no longer exists.
    hash.FindFirst(XGuid(96, 0, 0, 0, 0));
    hash.Resize(1);
    EXPECT_EQ(hash.FindNext(), nullptr);
    EXPECT_EQ(Chain(hash, XGuid()).size(), 200u);
    hash.Resize(0);
    EXPECT_EQ(hash.GetBucketCount(), 1u);
    EXPECT_EQ(hash.Remove(&items[7], XGuid(1, 2, 3, 4, 5)), &items[7]);
    EXPECT_EQ(FindByGuid(hash, items[7].guid), nullptr);
}
