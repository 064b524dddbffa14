#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace
{
int NoCase(const std::u16string& a, const std::u16string& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size()));
}

int Exact(const std::u16string& a, const std::u16string& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

int Reverse(int order)
{
    return 4 - order;
}

// An independent model of the order over a small alphabet, written out by hand: each entry is one
// rank, units of one entry are the same letter in other cases (the Kelvin sign is a capital k,
// fullwidth letters fold like any other).
const std::vector<std::u16string> kAlphabetInOrder = {
    u"'",    u"-",      u" ",  u"!",      u".",      u"_",      u"~",  u"+",  u">",  // symbols
    u"0",    u"9",                                                                   // digits
    u"aA",   u"bB",     u"kK\u212A", u"zZ", u"ß", u"àÀ", u"ÿŸ", u"аА", u"яЯ", u"ёЁ", // letters
    u"\x01", u"\u00D7", u"σΣ", u"\u4F60", u"\xD83D", u"\uFF41\uFF21", u"\xFFFF",      // others
};

int RankOf(char16_t c)
{
    for (size_t i = 0; i < kAlphabetInOrder.size(); ++i)
        if (kAlphabetInOrder[i].find(c) != std::u16string::npos)
            return static_cast<int>(i);
    ADD_FAILURE() << "not in the model's alphabet: " << static_cast<int>(c);
    return -1;
}

std::vector<int> Ranks(const std::u16string& s, bool withApostrophesAndHyphens)
{
    std::vector<int> ranks;
    for (char16_t c : s)
        if (withApostrophesAndHyphens || (c != u'\'' && c != u'-'))
            ranks.push_back(RankOf(c));
    return ranks;
}

int ModelCompare(const std::u16string& a, const std::u16string& b)
{
    for (bool full : {false, true})
    {
        auto ra = Ranks(a, full), rb = Ranks(b, full);
        if (ra < rb)
            return CSTR_LESS_THAN;
        if (rb < ra)
            return CSTR_GREATER_THAN;
    }
    return CSTR_EQUAL;
}

std::vector<std::u16string> RandomStrings(size_t count, uint32_t seed)
{
    std::u16string units;
    for (const auto& entry : kAlphabetInOrder)
        units += entry;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> length(0, 6), pick(0, units.size() - 1), common(0, 9);
    std::vector<std::u16string> result;
    for (size_t i = 0; i < count; ++i)
    {
        std::u16string s;
        // Mostly "a"-like letters and hyphens, so that many strings tie in the first pass.
        size_t n = length(rng);
        for (size_t k = 0; k < n; ++k)
        {
            size_t c = common(rng);
            s += c < 3 ? u"aA-"[c] : units[pick(rng)];
        }
        result.push_back(s);
    }
    return result;
}
} // namespace

TEST(CompareStringTest, IgnoreCaseOrdersSymbolsDigitsLettersThenOthers)
{
    EXPECT_EQ(NoCase(u"a_b", u"ab"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"a-b", u"ab"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"ab", u"a-b"), CSTR_GREATER_THAN);
    EXPECT_EQ(NoCase(u"x.", u"x0"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"x0", u"xa"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"x.", u"xa"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"Models\\A.SKI", u"models\\a.ski"), CSTR_EQUAL);
    EXPECT_EQ(
        CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, u"Models\\A.SKI", -1, u"models\\a.ski", -1),
        CSTR_EQUAL);

    // Hyphens and apostrophes are left out first: "a b" has a symbol where "a-b" has a letter.
    EXPECT_EQ(NoCase(u"a b", u"a-b"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"co-op", u"coop"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"co-op", u"coopa"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"a'b", u"a-b"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"a-b", u"a b"), CSTR_GREATER_THAN);
    EXPECT_EQ(NoCase(u"-", u""), CSTR_GREATER_THAN);
    EXPECT_EQ(NoCase(u"abc", u"abc-"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"'", u"'"), CSTR_EQUAL);

    // Every listed symbol ranks after the one before it, the last before the digits.
    const std::u16string symbols = u"'- !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    for (size_t i = 0; i + 1 < symbols.size(); ++i)
    {
        std::u16string a = u"x" + symbols.substr(i, 1), b = u"x" + symbols.substr(i + 1, 1);
        if (i == 0) // ' and - only decide in the second pass
            a += u"y", b += u"y";
        EXPECT_EQ(NoCase(a, b), CSTR_LESS_THAN) << i;
        EXPECT_EQ(NoCase(b, a), CSTR_GREATER_THAN) << i;
    }
    EXPECT_EQ(NoCase(u">", u"0"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"9", u"A"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"10", u"9"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"Z", u"\u00E0"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"\u00FF", u"\u0430"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"\u044F", u"\u4F60"), CSTR_LESS_THAN); // letter before other
    EXPECT_EQ(NoCase(u"z", u"\x01"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"\u00D7", u"\u00F7"), CSTR_LESS_THAN); // not letters: by value among others

    // Case never matters for letters, in any of the three scripts, nor for other foldable units.
    EXPECT_EQ(NoCase(u"ПРИВЕТ Ёж", u"привет ёЖ"), CSTR_EQUAL);
    EXPECT_EQ(NoCase(u"ÀÉÎÕÜÞ", u"àéîõüþ"), CSTR_EQUAL);
    EXPECT_EQ(NoCase(u"\u0178", u"\u00FF"), CSTR_EQUAL);
    EXPECT_EQ(NoCase(u"ΣΩ", u"σω"), CSTR_EQUAL);
    EXPECT_EQ(NoCase(u"Ѡ", u"ѡ"), CSTR_EQUAL);
    EXPECT_EQ(NoCase(u"a", u"à"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"abc", u"abcd"), CSTR_LESS_THAN);
    EXPECT_EQ(NoCase(u"", u""), CSTR_EQUAL);
}

TEST(CompareStringTest, FlagsZeroComparesCodeUnits)
{
    EXPECT_NE(Exact(u"Name", u"name"), CSTR_EQUAL);
    EXPECT_EQ(Exact(u"Name", u"name"), CSTR_LESS_THAN);
    EXPECT_EQ(Exact(u"name", u"name"), CSTR_EQUAL);
    EXPECT_EQ(Exact(u"a-b", u"ab"), CSTR_LESS_THAN);
    EXPECT_EQ(Exact(u"a_b", u"ab"), CSTR_LESS_THAN);
    EXPECT_EQ(Exact(u"ab", u"a"), CSTR_GREATER_THAN);
    EXPECT_EQ(Exact(u"\U0001F600", u"\uE000"), CSTR_LESS_THAN); // UTF-16 order, not code point order
    EXPECT_EQ(Exact(std::u16string(u"a\0b", 3), std::u16string(u"a\0c", 3)), CSTR_LESS_THAN);

    // Explicit lengths compare only that many units; -1 stops at the NUL.
    EXPECT_EQ(CompareStringW(0, 0, u"abcX", 3, u"abcY", 3), CSTR_EQUAL);
    EXPECT_EQ(CompareStringW(0, 0, u"abc", -1, u"abcd", 3), CSTR_EQUAL);
    EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"ABC", -1, u"abcd", 4), CSTR_LESS_THAN);
}

TEST(CompareStringTest, RejectsBadArguments)
{
    for (int r : {CompareStringW(0, 0, nullptr, -1, u"a", -1), CompareStringW(0, 0, u"a", -1, nullptr, 0),
                  CompareStringW(0, 0, u"a", -2, u"a", -1), CompareStringW(0, 0x1000, u"a", -1, u"a", -1),
                  CompareStringA(0, 0, nullptr, -1, "a", -1), CompareStringA(0, 2, "a", -1, "a", -1)})
    {
        EXPECT_EQ(r, 0);
    }
    SetLastError(0);
    EXPECT_EQ(CompareStringW(0, NORM_IGNORECASE, u"a", -1, u"a", -5), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CompareStringTest, NarrowFormComparesInTheAnsiPage)
{
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "\xCF\xD0\xC8\xC2\xC5\xD2", -1,
                             "\xEF\xF0\xE8\xE2\xE5\xF2", -1),
              CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "Name", -1, "name", -1), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "true", 4, "truex", 4), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "a_b", -1, "ab", -1), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "", -1, "a", 0), CSTR_EQUAL);
    // Cyrillic letters come after Latin ones although some of their bytes are below Latin-1's.
    EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "z", 1, "\xE0", 1), CSTR_LESS_THAN);

    // Texts longer than the converter's stack space.
    std::string upper(1000, 'A'), lower(1000, 'a');
    upper += "\xC0";
    lower += "\xE0";
    EXPECT_EQ(CompareStringA(0, NORM_IGNORECASE, upper.c_str(), -1, lower.c_str(), -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(0, 0, upper.c_str(), -1, lower.c_str(), -1), CSTR_LESS_THAN);
}

TEST(CompareStringTest, IgnoreCaseAgreesWithAnIndependentModel)
{
    auto strings = RandomStrings(3000, 20240611);
    std::mt19937 rng(7);
    std::uniform_int_distribution<size_t> pick(0, strings.size() - 1);
    for (int i = 0; i < 100000; ++i)
    {
        const auto& a = strings[pick(rng)];
        const auto& b = strings[pick(rng)];
        ASSERT_EQ(NoCase(a, b), ModelCompare(a, b)) << i;
    }
}

TEST(CompareStringTest, IgnoreCaseIsAStrictWeakOrder)
{
    auto strings = RandomStrings(3000, 12345);
    std::sort(strings.begin(), strings.end(),
              [](const std::u16string& a, const std::u16string& b)
              { return NoCase(a, b) == CSTR_LESS_THAN; });

    // After sorting, no later string is less than an earlier one, and every pair compares the same
    // both ways round (irreflexive, antisymmetric).
    size_t equalPairs = 0;
    for (size_t i = 0; i < strings.size(); ++i)
    {
        ASSERT_EQ(NoCase(strings[i], strings[i]), CSTR_EQUAL);
        for (size_t j = i + 1; j < strings.size(); ++j)
        {
            int forward = NoCase(strings[i], strings[j]);
            ASSERT_NE(forward, CSTR_GREATER_THAN) << i << " " << j;
            ASSERT_EQ(NoCase(strings[j], strings[i]), Reverse(forward)) << i << " " << j;
            equalPairs += forward == CSTR_EQUAL;
        }
    }
    EXPECT_GT(equalPairs, 0u); // the data really has ties that differ only in case

    // Transitivity of less and of equal over random triples.
    std::mt19937 rng(99);
    std::uniform_int_distribution<size_t> pick(0, strings.size() - 1);
    for (int t = 0; t < 200000; ++t)
    {
        const auto& a = strings[pick(rng)];
        const auto& b = strings[pick(rng)];
        const auto& c = strings[pick(rng)];
        int ab = NoCase(a, b), bc = NoCase(b, c), ac = NoCase(a, c);
        if (ab == bc)
        {
            ASSERT_EQ(ac, ab);
        }
        if (ab == CSTR_EQUAL)
        {
            ASSERT_EQ(ac, bc);
        }
        if (bc == CSTR_EQUAL)
        {
            ASSERT_EQ(ac, ab);
        }
    }
}

// Sort keys: comparing two keys must give exactly what CompareStringW gives for the two texts, on
// names like a folder's (shared stems, digits, Cyrillic in both cases, hyphens and apostrophes that
// only decide in the second pass) and on units from anywhere in UTF-16.
TEST(CompareStringTest, SortKeysOrderAsTheCaseBlindCompare)
{
    const std::u16string pieces[] = {u"file", u"File", u"FILE", u"Отчёт", u"отчЁт", u"ПАПКА", u"-", u"'", u"_",
                                     u" ", u".txt", u".TXT", u"0", u"9", u"10", u"007", u"\u212A", u"k",
                                     u"\u00DF", u"\u0178", u"\u00FF", u"\xD83D\xDE00", u"\xDC80", u"\u4F60"};
    std::mt19937 rng(4242);
    std::uniform_int_distribution<size_t> count(0, 5), piece(0, std::size(pieces) - 1), unit(1, 0xFFFF),
        kind(0, 9);
    std::vector<std::u16string> names;
    for (int i = 0; i < 4000; ++i)
    {
        std::u16string s;
        for (size_t n = count(rng); n > 0; --n)
            s += kind(rng) == 0 ? std::u16string(1, static_cast<char16_t>(unit(rng))) : pieces[piece(rng)];
        names.push_back(s);
        // A near twin: the same text with one unit changed in case, dropped, or a hyphen put in.
        std::u16string twin = s;
        if (!twin.empty())
        {
            size_t at = rng() % twin.size();
            switch (rng() % 3)
            {
            case 0:
                twin[at] = ToUpperWide(twin[at]) == twin[at] ? ToLowerWide(twin[at]) : ToUpperWide(twin[at]);
                break;
            case 1:
                twin.erase(at, 1);
                break;
            default:
                twin.insert(at, 1, u'-');
            }
        }
        names.push_back(twin);
    }
    std::vector<std::vector<uint8_t>> keys(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        Platform::AppendSortKey(names[i].data(), names[i].size(), keys[i]);
    auto keyOrder = [&](size_t a, size_t b)
    { return Platform::CompareSortKeys(keys[a].data(), keys[a].size(), keys[b].data(), keys[b].size()); };

    size_t equal = 0;
    for (size_t i = 0; i + 1 < names.size(); i += 2) // each text against its twin
    {
        ASSERT_EQ(keyOrder(i, i + 1), NoCase(names[i], names[i + 1])) << i;
        equal += keyOrder(i, i + 1) == CSTR_EQUAL;
    }
    EXPECT_GT(equal, 100u); // twins differing only in case tie
    std::uniform_int_distribution<size_t> pick(0, names.size() - 1);
    for (int t = 0; t < 200000; ++t)
    {
        size_t a = pick(rng), b = pick(rng);
        ASSERT_EQ(keyOrder(a, b), NoCase(names[a], names[b])) << a << " " << b;
    }

    // Keys appended one after another keep each text's own bytes.
    std::vector<uint8_t> both;
    Platform::AppendSortKey(u"a-b", 3, both);
    size_t first = both.size();
    Platform::AppendSortKey(u"AB", 2, both);
    std::vector<uint8_t> alone;
    Platform::AppendSortKey(u"AB", 2, alone);
    EXPECT_EQ(std::vector<uint8_t>(both.begin() + static_cast<std::ptrdiff_t>(first), both.end()), alone);
    EXPECT_EQ(Platform::CompareSortKeys(both.data(), first, alone.data(), alone.size()), NoCase(u"a-b", u"AB"));
    EXPECT_EQ(NoCase(u"a-b", u"AB"), CSTR_LESS_THAN);
}
