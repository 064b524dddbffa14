#include "Components/Cx/CxXml.h"

#include "Components/XMemoryStream.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace CxXml;
using VarUtils::XVariant;

namespace
{
namespace fs = std::filesystem;

std::string Saved(XmlDocument& document)
{
    XMemoryStream stream(0, 8192);
    document.SaveToStream(stream);
    return StreamString(stream);
}

void LoadBytes(XmlDocument& document, const std::string& bytes)
{
    XMemoryStream stream(0, 8192);
    LoadStream(stream, bytes);
    document.LoadFromStream(stream);
}

void Load(XmlDocument& document, const std::u16string& text)
{
    LoadBytes(document, Utf16LeWithBom(text));
}

// True when the load ends in the syntax error, with its text; any other outcome is a failure.
::testing::AssertionResult FailsWithSyntaxError(const std::string& bytes)
{
    XmlDocument document;
    try
    {
        LoadBytes(document, bytes);
    }
    catch (const XmlSyntaxError& error)
    {
        if (error.Message() != UnicodeString(u"Xml syntax error."))
            return ::testing::AssertionFailure() << "wrong message";
        return ::testing::AssertionSuccess();
    }
    catch (...)
    {
        return ::testing::AssertionFailure() << "another exception";
    }
    return ::testing::AssertionFailure() << "loaded";
}

std::u16string Text(const XVariant& value)
{
    return value.AsString().c_str();
}

// A node's whole content as text, for comparing trees.
std::u16string Dump(XmlNode* node)
{
    std::u16string out = u"<" + std::u16string(node->GetName()) + u"=" + node->GetValue();
    for (uint32_t i = 0; i < node->GetAttributes().GetCount(); ++i)
        out += u" @" + std::u16string(node->GetAttributes()[i]->GetName()) + u"=" +
               node->GetAttributes()[i]->GetValue();
    for (uint32_t i = 0; i < node->GetNodes().GetCount(); ++i)
        out += Dump(node->GetNodes()[i]);
    for (uint32_t i = 0; i < node->GetValues().GetCount(); ++i)
        out +=
            u" #" + std::u16string(node->GetValues()[i]->GetName()) + u"=" + node->GetValues()[i]->GetValue();
    return out + u">";
}

const std::u16string Declaration = u"<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n";

// Counts destructions, to see which items an array destroys.
int destroyed = 0;
class CountedValue : public XmlValue
{
public:
    ~CountedValue() override { ++destroyed; }
};
} // namespace

TEST(CxXmlTest, SettingsDocumentSavesToTheSampleBytes)
{
    // The sample with two named values, byte for byte.
    XmlDocument sample;
    sample.SetName(u"Config");
    sample.AddValue(u"PackageFilePath", XVariant(XString(u"C:\\Data\\archive.pck")));
    sample.AddValue(u"PackageCompression", XVariant(1));
    std::string expected = Utf16LeWithBom(u"<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n"
                                          u"<Config>\r\n"
                                          u"\t<PackageFilePath>C:\\Data\\archive.pck</PackageFilePath>\r\n"
                                          u"\t<PackageCompression>1</PackageCompression>\r\n"
                                          u"</Config>\r\n");
    EXPECT_EQ(Saved(sample), expected);

    // The program's settings: all three keys, in the order the dialog writes them, to a file.
    TempDir dir("cxxml");
    std::u16string file = WidePath(dir / "Kelvane.xml");
    {
        XmlDocument config;
        config.SetName(u"Config");
        config.AddValue(u"PackageFilePath", XVariant(XString(u"C:\\Games\\Models.pck")));
        XVariant tailer;
        tailer = XAnsiString("Patched models");
        config.AddValue(u"PackageTailer", tailer);
        config.AddValue(u"PackageCompression", XVariant(9));
        config.SaveToFile(file.c_str());
    }
    std::string bytes = ReadWholeFile(dir / "Kelvane.xml");
    EXPECT_EQ(bytes,
              Utf16LeWithBom(Declaration + u"<Config>\r\n"
                                           u"\t<PackageFilePath>C:\\Games\\Models.pck</PackageFilePath>\r\n"
                                           u"\t<PackageTailer>Patched models</PackageTailer>\r\n"
                                           u"\t<PackageCompression>9</PackageCompression>\r\n"
                                           u"</Config>\r\n"));

    XmlDocument loaded;
    loaded.LoadFromFile(file.c_str());
    EXPECT_EQ(std::u16string(loaded.GetName()), u"Config");
    EXPECT_EQ(loaded.GetValues().GetCount(), 3u);
    EXPECT_EQ(loaded.GetNodes().GetCount(), 0u);
    EXPECT_EQ(Text(loaded.ReadValue(u"PackageFilePath", XVariant(XString()))), u"C:\\Games\\Models.pck");
    EXPECT_EQ(loaded.ReadValue(u"PackageTailer", XVariant(XString())).AsAnsiString() == "Patched models",
              true);
    EXPECT_EQ(loaded.ReadValue(u"PackageCompression", XVariant(1)).AsInt(), 9);
    // Absent: the default, no error.
    EXPECT_EQ(loaded.ReadValue(u"Missing", XVariant(7)).AsInt(), 7);
    EXPECT_EQ(loaded.FindValue(u"packagetailer"), nullptr); // names are case-sensitive

    // Saved again, the same bytes.
    std::u16string again = WidePath(dir / "again.xml");
    loaded.SaveToFile(again.c_str());
    EXPECT_EQ(ReadWholeFile(dir / "again.xml"), bytes);

    // A file without the byte-order mark loads the same.
    XmlDocument plain;
    LoadBytes(plain, bytes.substr(2));
    EXPECT_EQ(Dump(&plain), Dump(&loaded));

    // A file that cannot be created throws the stream's failure.
    std::u16string nowhere = WidePath(dir / "no/such/folder/x.xml");
    EXPECT_THROW(loaded.SaveToFile(nowhere.c_str()), const char*);
}

TEST(CxXmlTest, AttributesAreEscapedAndReadBack)
{
    XmlDocument document;
    document.SetName(u"Root");
    XmlNode* item = document.AddNode(u"Item");
    item->AddAttribute(u"Name", XVariant(XString(u"a\"b")));
    item->AddAttribute(u"Index", XVariant(3));
    XmlNode* other = document.AddNode(u"Other");
    other->AddAttribute(u"Text", XVariant(XString(u"x&y<z>w \u00e9")));
    other->AddAttribute(u"Text", XVariant(XString(u"second")));
    other->AddAttribute(u"text", XVariant(XString(u"lower")));
    other->SetValue(u"1 < 2 & \"q\"");

    std::string bytes = Saved(document);
    EXPECT_EQ(bytes, Utf16LeWithBom(Declaration +
                                    u"<Root>\r\n"
                                    u"\t<Item Name=\"a&22b\" Index=\"3\" />\r\n"
                                    u"\t<Other Text=\"x&26y&3Cz>w \u00e9\" Text=\"second\" text=\"lower\">"
                                    u"1 &3C 2 &26 &22q&22</Other>\r\n"
                                    u"</Root>\r\n"));

    XmlDocument loaded;
    LoadBytes(loaded, bytes);
    ASSERT_EQ(loaded.GetNodes().GetCount(), 2u);
    XmlNode* first = loaded.GetNodes()[0];
    EXPECT_EQ(Text(first->ReadAttribute(u"Name")), u"a\"b");
    EXPECT_EQ(first->ReadAttribute(u"Index").AsInt(), 3);
    XmlNode* second = loaded.GetNodes()[1];
    EXPECT_EQ(Text(second->ReadAttribute(u"Text")), u"x&y<z>w \u00e9"); // the first of two
    EXPECT_EQ(Text(second->ReadAttribute(u"text")), u"lower");
    EXPECT_EQ(second->GetAttributes().GetCount(), 3u);
    EXPECT_EQ(std::u16string(second->GetValue()), u"1 < 2 & \"q\"");

    // A missing attribute throws; the exception is an XException with the exact text.
    try
    {
        first->ReadAttribute(u"name");
        ADD_FAILURE() << "no exception";
    }
    catch (const XException& error)
    {
        EXPECT_EQ(error.Message(), UnicodeString(u"Xml attribute not found."));
    }

    // Attribute values are unescaped but never trimmed; an empty one stays empty.
    Load(loaded, Declaration + u"<R a=\"  x  \" b=\"\" c=\"&41&4a&4A\" /* skipped */ d=\"\r\n\"/>");
    EXPECT_EQ(Text(loaded.ReadAttribute(u"a")), u"  x  ");
    EXPECT_EQ(Text(loaded.ReadAttribute(u"b")), u"");
    EXPECT_EQ(Text(loaded.ReadAttribute(u"c")), u"AJJ");
    EXPECT_EQ(Text(loaded.ReadAttribute(u"d")), u" \n"); // the carriage return reads as a space
}

TEST(CxXmlTest, MalformedDocumentsThrowTheSyntaxError)
{
    const std::u16string d = Declaration;
    std::vector<std::u16string> documents = {
        u"",
        u"   ",
        d,
        d + u"<Config></Other>",
        d + u"<Config><A>x</B></Config>",
        d + u"<Config><A x=\"1\">y</a></Config>",
        d + u"<Config>/* not a comment here */</Config",
        d + u"/* never closed",
        d + u"<Config /* never closed",
        u"<?XML version=\"1.0\"?><R/>",
        u"<?xml version=\"1.0\"><R/>",
        d + u"<!-- comment --><R/>",
        d + u"<R><!-- comment --></R>",
        d + u"<R a=\"unterminated /></R>",
        d + u"<R a=1 />",
        d + u"<R>text running to the end",
        d + u"<R><1a/></R>",
        d + u"<R><a-b/></R>",
        d + u"<R><V>&zz</V></R>",
        d + u"<R><V>ab&4</V></R>",
        d + u"<R><V>ab&</V></R>",
        d + u"<R><V>&00</V></R>",
        d + u"<R a=\"&G1\"/>",
        d + u"<R><V>\xD800</V></R>",
        d + u"<R><V>a\xDC00</V></R>",
        d + u"<R a=\"\xD800x\"/>",
        d + u"<R>\xDBFF</R>",
        d + u"<R><N>text<C/>more<? </N></R>",
        d + u"<R><N>text<C/>more</R>",
        d + u"<R>\u00e9<A/>", // the root never closes
    };
    for (size_t i = 0; i < documents.size(); ++i)
        EXPECT_TRUE(FailsWithSyntaxError(Utf16LeWithBom(documents[i]))) << "document " << i;

    // An odd number of bytes is not UTF-16.
    std::string odd = Utf16LeWithBom(d + u"<R/>") + "x";
    EXPECT_TRUE(FailsWithSyntaxError(odd));
    // Nor is an 8-bit file.
    EXPECT_TRUE(FailsWithSyntaxError("<?xml version=\"1.0\"?><Config/>"));

    // Elements nest up to 256 deep, the root included; one more is refused.
    auto nested = [&](int depth)
    {
        std::u16string text = d;
        for (int i = 0; i < depth; ++i)
            text += u"<E a=\"1\">";
        for (int i = 0; i < depth; ++i)
            text += u"</E>";
        return text;
    };
    XmlDocument deep;
    Load(deep, nested(256));
    XmlNode* node = &deep;
    int depth = 1;
    while (node->GetNodes().GetCount() == 1)
    {
        node = node->GetNodes()[0];
        ++depth;
    }
    EXPECT_EQ(depth, 256);
    EXPECT_TRUE(FailsWithSyntaxError(Utf16LeWithBom(nested(257))));
    EXPECT_TRUE(FailsWithSyntaxError(Utf16LeWithBom(nested(100000))));
    // The same through elements that begin with text.
    std::u16string plain = d;
    for (int i = 0; i < 300; ++i)
        plain += u"<E>t";
    EXPECT_TRUE(FailsWithSyntaxError(Utf16LeWithBom(plain)));

    // A missing file is the syntax error too; what was read before a failure stays.
    TempDir dir("cxxml");
    XmlDocument document;
    std::u16string missing = WidePath(dir / "missing.xml");
    EXPECT_THROW(document.LoadFromFile(missing.c_str()), XmlSyntaxError);
    EXPECT_THROW(Load(document, d + u"<Root><A/><B x=\"1\">"), XmlSyntaxError);
    EXPECT_EQ(std::u16string(document.GetName()), u"Root");
    ASSERT_EQ(document.GetNodes().GetCount(), 2u);
    EXPECT_EQ(Text(document.GetNodes()[1]->ReadAttribute(u"x")), u"1");
}

TEST(CxXmlTest, ReadOnlyFileLoads)
{
    TempDir dir("cxxml");
    fs::path path = WriteWholeFile(
        dir / "ro.xml", Utf16LeWithBom(Declaration + u"<Config>\r\n\t<Key>value</Key>\r\n</Config>\r\n"));
    fs::permissions(path, fs::perms(0444));
    XmlDocument document;
    std::u16string name = WidePath(dir / "ro.xml");
    document.LoadFromFile(name.c_str());
    EXPECT_EQ(std::u16string(document.GetName()), u"Config");
    EXPECT_EQ(Text(document.ReadValue(u"Key", XVariant(0))), u"value");
}

TEST(CxXmlTest, EveryPrefixOfADocumentFailsCleanly)
{
    std::u16string text = u"// settings\r\n" + Declaration +
                          u"/* before the root */\r\n"
                          u"<Config Version=\"2\" /* note */ Name=\"a&22b\">\r\n"
                          u"\tIntro &26 text\r\n"
                          u"\t<Entry Kind=\"x\">\r\n"
                          u"\t\t<Sub />\r\n"
                          u"\t\t<Deep>inner\r\n"
                          u"\t\t\t<Leaf>v</Leaf>\r\n"
                          u"\t\t</Deep>\r\n"
                          u"\t\t<Value>  spaced  </Value>\r\n"
                          u"\t</Entry>\r\n"
                          u"\t<Empty/>\r\n"
                          u"\t<Path>C:\\x\\\U0001F600</Path>\r\n"
                          u"</Config>";
    std::string bytes = Utf16LeWithBom(text);
    XmlDocument full;
    LoadBytes(full, bytes);
    std::u16string expected = Dump(&full);
    EXPECT_EQ(expected,
              u"<Config=Intro & text @Version=2 @Name=a\"b<Entry= @Kind=x<Sub=><Deep=inner #Leaf=v> "
              u"#Value=  spaced  ><Empty=> #Path=C:\\x\\\U0001F600>");

    // Every cut before the root's closing '>' is refused; from there on the tail is ignored.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        ASSERT_TRUE(FailsWithSyntaxError(bytes.substr(0, cut))) << "cut at " << cut;
    XmlDocument withTail;
    LoadBytes(withTail, bytes + Utf16Le(u"\r\n<Ignored> \xD800 &zz"));
    EXPECT_EQ(Dump(&withTail), expected);
}

TEST(CxXmlTest, SaveAndLoadRoundTrips)
{
    XmlDocument document;
    document.SetName(u"Data");
    document.SetValue(u"root text");
    document.AddAttribute(u"Version", XVariant(2));
    XmlNode* group = document.AddNode(u"Group");
    group->SetValue(u"group text");
    group->AddValue(u"Inner", XVariant(XString(u"  two spaces  ")));
    XmlNode* child = group->AddNode(u"Child");
    child->AddAttribute(u"Id", XVariant(1));
    child->SetValue(u"child text");
    group->AddNode(u"Empty");
    document.AddValue(u"Spaced", XVariant(XString(u"  kept  ")));
    document.AddValue(u"Tabbed", XVariant(XString(u"a\tb")));
    document.AddValue(u"Lines", XVariant(XString(u"one\r\ntwo")));

    std::string first = Saved(document);
    EXPECT_EQ(first, Utf16LeWithBom(Declaration + u"<Data Version=\"2\">root text\r\n"
                                                  u"\t<Group>group text\r\n"
                                                  u"\t\t<Child Id=\"1\">child text</Child>\r\n"
                                                  u"\t\t<Empty />\r\n"
                                                  u"\t\t<Inner>  two spaces  </Inner>\r\n"
                                                  u"\t</Group>\r\n"
                                                  u"\t<Spaced>  kept  </Spaced>\r\n"
                                                  u"\t<Tabbed>a\tb</Tabbed>\r\n"
                                                  u"\t<Lines>one\r\ntwo</Lines>\r\n"
                                                  u"</Data>\r\n"));

    XmlDocument loaded;
    LoadBytes(loaded, first);
    // Texts followed by children come back trimmed; a named value directly inside an element
    // whose content began with text is trimmed; one directly in the root keeps its spaces; tab
    // and carriage return read as spaces.
    EXPECT_EQ(Dump(&loaded), u"<Data=root text @Version=2<Group=group text<Child=child text @Id=1><Empty=> "
                             u"#Inner=two spaces> #Spaced=  kept   #Tabbed=a b #Lines=one \ntwo>");

    // Load, save, load, save: the second save repeats the first byte for byte.
    std::string second = Saved(loaded);
    XmlDocument again;
    LoadBytes(again, second);
    EXPECT_EQ(Dump(&again), Dump(&loaded));
    EXPECT_EQ(Saved(again), second);

    // A hand-written file with comments and loose white space settles after one round.
    std::u16string messy = u"/* head */ " + Declaration +
                           u"<Cfg>\n   lead   \n<A   x = \"1\"  >  body  <B/>  tail  </A>\n"
                           u"<N>  v  </N> middle <E></E><T>a<U>b</U>c</T></Cfg> trailing";
    XmlDocument a;
    Load(a, messy);
    // An element holding only text, even none, is a named value.
    EXPECT_EQ(Dump(&a), u"<Cfg=leadmiddle<A=bodytail @x=1<B=>><T=ac #U=b> #N=  v   #E=>");
    std::string once = Saved(a);
    XmlDocument b;
    LoadBytes(b, once);
    EXPECT_EQ(Dump(&b), Dump(&a));
    EXPECT_EQ(Saved(b), once);

    // Many pieces of text between many children: collected in linear time.
    std::u16string many = Declaration + u"<Many>";
    for (int i = 0; i < 50000; ++i)
        many += u"<C/>x";
    many += u"</Many>";
    XmlDocument manyDocument;
    Load(manyDocument, many);
    EXPECT_EQ(std::u16string(manyDocument.GetValue()), std::u16string(50000, u'x'));
    EXPECT_EQ(manyDocument.GetNodes().GetCount(), 50000u);

    // A load replaces everything: the old text is not carried into the new document.
    Load(loaded, Declaration + u"<Other>new</Other>");
    EXPECT_EQ(Dump(&loaded), u"<Other=new>");
    Load(loaded, Declaration + u"<Other/>");
    EXPECT_EQ(Dump(&loaded), u"<Other=>");
    EXPECT_EQ(Saved(loaded), Utf16LeWithBom(Declaration + u"<Other />\r\n"));
}

TEST(CxXmlTest, ModelArraysAndVariants)
{
    XmlDocument document;
    EXPECT_EQ(document.GetRoot(), &document);
    EXPECT_EQ(document.GetDocument(), &document);
    EXPECT_EQ(std::u16string(document.GetEncoding()), u"unicode");
    EXPECT_EQ(std::u16string(document.GetName()), u"");

    // Capacities 4, 9, 16, 25, 37 as items are added one at a time.
    CxArray<XmlValue> values;
    EXPECT_EQ(values.GetCapacity(), 0u);
    std::vector<uint32_t> capacities;
    for (int i = 0; i < 26; ++i)
    {
        values.Add(new CountedValue);
        if (capacities.empty() || capacities.back() != values.GetCapacity())
            capacities.push_back(values.GetCapacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{4, 9, 16, 25, 37}));
    try
    {
        values[26];
        ADD_FAILURE() << "no exception";
    }
    catch (const char16_t* text)
    {
        EXPECT_EQ(std::u16string(text), u"Array index out of bounds.");
    }
    destroyed = 0;
    XmlValue* third = values[2];
    values.SetCapacity(3); // destroys the items from the last down to index 3
    EXPECT_EQ(destroyed, 23);
    EXPECT_EQ(values.GetCount(), 3u);
    EXPECT_EQ(values[2], third);
    values.SetCapacity(10);
    EXPECT_EQ(values.GetCount(), 3u);
    EXPECT_EQ(values[2], third);
    values.SetCapacity(0);
    EXPECT_EQ(destroyed, 26);
    EXPECT_EQ(values.GetCount(), 0u);
    EXPECT_THROW(values[0], const char16_t*);

    // Clear empties the three lists and keeps the name and the text.
    document.SetName(u"Root");
    document.SetValue(u"text");
    document.AddNode(u"N")->AddNode(u"Deeper");
    document.AddValue(u"V", XVariant(1));
    document.AddAttribute(u"A", XVariant(2));
    XmlNodes nodes = document.GetNodes();
    EXPECT_EQ(nodes.GetCount(), 1u);
    EXPECT_EQ(nodes[0]->GetDocument(), &document);
    EXPECT_THROW(nodes[1], const char16_t*);
    document.Clear();
    EXPECT_EQ(document.GetNodes().GetCount(), 0u);
    EXPECT_EQ(document.GetValues().GetCount(), 0u);
    EXPECT_EQ(document.GetAttributes().GetCount(), 0u);
    EXPECT_EQ(std::u16string(document.GetName()), u"Root");
    EXPECT_EQ(std::u16string(document.GetValue()), u"text");

    // Variants: the text form of the value; a default fills an empty value.
    XmlValue* value = document.AddValue(u"Number", XVariant(-12));
    EXPECT_EQ(std::u16string(value->GetValue()), u"-12");
    EXPECT_EQ(value->GetVariant().GetType(), VarUtils::XVT_STRING);
    EXPECT_EQ(value->GetVariant().AsInt(), -12);
    XmlValue* empty = document.AddValue(u"Empty", XVariant(XString()));
    EXPECT_EQ(Text(empty->GetVariant(XVariant(5))), u"5");
    EXPECT_EQ(std::u16string(empty->GetValue()), u"5");
    EXPECT_EQ(Text(empty->GetVariant(XVariant(6))), u"5");
    XVariant flag;
    flag = true;
    empty->SetVariant(flag);
    EXPECT_EQ(std::u16string(empty->GetValue()), u"true");
    document.AddValue(u"Number", XVariant(99));
    EXPECT_EQ(document.ReadValue(u"Number", XVariant(0)).AsInt(), -12); // the first of two
    EXPECT_EQ(document.FindValue(u"number"), nullptr);
    EXPECT_EQ(document.FindAttribute(u"A"), nullptr);
}

TEST(CxXmlTest, EscapingUsesTheGrowingWorkBuffer)
{
    XmlDocument document;
    // Outside a load or a save the buffer is made on demand.
    EXPECT_EQ(std::u16string(EscapeXmlValue(document, u"a\"&<>\u00e9")), u"a&22&26&3C>\u00e9");
    EXPECT_EQ(std::u16string(EscapeXmlValue(document, u"")), u"");
    std::u16string quotes(2000, u'"');
    std::u16string escaped;
    for (int i = 0; i < 2000; ++i)
        escaped += u"&22";
    EXPECT_EQ(std::u16string(EscapeXmlValue(document, quotes.c_str())), escaped);
    EXPECT_EQ(std::u16string(UnescapeXmlValue(document, escaped.c_str())), quotes);
    EXPECT_EQ(std::u16string(UnescapeXmlValue(document, u"&41&4a&4A&7e")), u"AJJ~");

    // Only the given units are read: "a&4" of "a&41" is a truncated escape.
    EXPECT_THROW(UnescapeXmlValue(document, u"a&41", 3), XmlSyntaxError);
    EXPECT_EQ(std::u16string(UnescapeXmlValue(document, u"a&41", 4)), u"aA");
    EXPECT_THROW(UnescapeXmlValue(document, u"&", 1), XmlSyntaxError);
    EXPECT_THROW(UnescapeXmlValue(document, u"&g0"), XmlSyntaxError);

    // A large document saves and loads through the same buffer.
    document.SetName(u"Big");
    std::u16string big;
    for (int i = 0; i < 5000; ++i)
        big += u"<&\"x";
    document.AddValue(u"Text", XVariant(XString(big.c_str())));
    std::string bytes = Saved(document);
    XmlDocument loaded;
    LoadBytes(loaded, bytes);
    EXPECT_EQ(Text(loaded.ReadValue(u"Text", XVariant(0))), big);
}
