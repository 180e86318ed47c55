#include "refdb/MarkupReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using refdb::MarkupReader;

// Every element in document order, depth first, as "depth:NAME=data" lines;
// walks with the plain cursor operations only.
std::string Outline(MarkupReader& reader) {
    std::string out;
    int depth = 0;
    if (!reader.FindElement())
        return out;
    for (;;) {
        out += std::to_string(depth) + ":" + reader.GetAttribute("NAME") + "=" + reader.GetData() +
               "\n";
        reader.IntoElement();
        ++depth;
        while (!reader.FindElement()) {
            if (depth == 1)
                return out;
            reader.OutOfElement();
            --depth;
        }
    }
}

// --- Load failures ---------------------------------------------------------

struct BadDocument {
    std::string text;
    std::string error;
};

TEST(MarkupReaderLoad, EveryParseErrorHasItsText) {
    const std::vector<BadDocument> cases = {
        {"", "Element tag not found"},
        {"plain text without any tag", "Element tag not found"},
        {"<!-- only a comment --> <?pi only?>", "Element tag not found"},
        {"</BX>", "Element tag not found"},
        {"<BX>", "End tag of BX element not found"},
        {"<BX><SW NAME=\"x\"/>", "End tag of BX element not found"},
        {"<BX><SW>text</BX>", "End tag does not correspond to SW"},
        {"<BX></SWX>", "End tag does not correspond to BX"},
        {"<BX></bx>", "End tag does not correspond to BX"},
        {"<BX></BX", "End tag not completed for element BX"},
        {"<BX></", "End tag not completed for element BX"},
        {"<BX NAME=\"x\"", "End of tag not found"},
        {"<BX NAME=\"x>", "End of tag not found"},
        {"<", "Abrupt end within tag"},
        {"<BX> <  \r\n", "Abrupt end within tag"},
        {"<\"BX\"/>", "Tag starts with quote"},
        {"<BX><'SW'/></BX>", "Tag starts with quote"},
        {"<BX><!-- never closed </BX>", "Invalid node"},
        {"<?xml version=\"1.0\"", "Invalid node"},
        {"<?", "Invalid node"},
        {"<BX><![CDATA[ open </BX>", "Invalid node"},
        {"<!DOCTYPE BX [ <!ENTITY e \"v\"> <BX/>", "Invalid node"},
        {"< !-- space after the bracket --><BX/>", "Invalid node"},
    };
    for (const BadDocument& bad : cases) {
        MarkupReader reader;
        EXPECT_FALSE(reader.LoadText(bad.text)) << bad.text;
        EXPECT_EQ(reader.LastError(), bad.error) << bad.text;
    }
}

TEST(MarkupReaderLoad, ErrorNamesTheElementAsWritten) {
    MarkupReader reader;
    EXPECT_FALSE(
        reader.LoadText("<Gr\xC3\xB6\xC3\x9F"
                        "e>"));
    EXPECT_EQ(reader.LastError(),
              "End tag of Gr\xC3\xB6\xC3\x9F"
              "e element not found");
    EXPECT_FALSE(reader.LoadText("<BX><Inner></Outer></BX>"));
    EXPECT_EQ(reader.LastError(), "End tag does not correspond to Inner");
}

TEST(MarkupReaderLoad, FailedLoadLeavesNothingToWalk) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText("<BX TOTAL=\"1\"><SW NAME=\"a\"/></BX>"));
    EXPECT_FALSE(reader.LoadText("<BX TOTAL=\"1\"><SW NAME=\"a\"/>"));
    EXPECT_FALSE(reader.FindElement());
    EXPECT_FALSE(reader.FindChildElement());
    EXPECT_FALSE(reader.IntoElement());
    EXPECT_FALSE(reader.OutOfElement());
    EXPECT_EQ(reader.GetAttribute("TOTAL"), "");
    EXPECT_EQ(reader.GetData(), "");
}

TEST(MarkupReaderLoad, NullClearsAndASuccessfulLoadClearsTheError) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText("<BX TOTAL=\"7\"/>"));
    EXPECT_EQ(reader.LastError(), "");
    ASSERT_TRUE(reader.FindElement("BX"));

    EXPECT_FALSE(reader.LoadText(nullptr));
    EXPECT_FALSE(reader.FindElement());
    EXPECT_EQ(reader.GetAttribute("TOTAL"), "");

    ASSERT_TRUE(reader.LoadText("<BX TOTAL=\"9\"/>"));
    EXPECT_EQ(reader.LastError(), "");
    // A new load starts with a fresh cursor.
    ASSERT_TRUE(reader.FindElement("BX"));
    EXPECT_EQ(reader.GetAttribute("TOTAL"), "9");
}

TEST(MarkupReaderLoad, OnlyTheFirstTopLevelElementIsRead) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText("<A NAME=\"first\"/><B NAME=\"second\"> <<< \"unclosed"));
    ASSERT_TRUE(reader.FindElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "first");
    EXPECT_FALSE(reader.FindElement());
    EXPECT_FALSE(reader.FindElement("B"));

    ASSERT_TRUE(reader.LoadText("  leading text <A><B/></A></B></C> <"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_TRUE(reader.FindChildElement("B"));
}

TEST(MarkupReaderLoad, DeepNestingDoesNotExhaustTheStack) {
    constexpr int kDepth = 200000;
    std::string text;
    for (int i = 0; i < kDepth; ++i)
        text += "<D>";
    text += "bottom";
    for (int i = 0; i < kDepth; ++i)
        text += "</D>";
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(text));
    ASSERT_TRUE(reader.FindElement("D"));
    int depth = 1;
    while (reader.FindChildElement("D")) {
        ASSERT_TRUE(reader.IntoElement());
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(reader.GetData(), "bottom");

    text.resize(text.size() - 4);  // the outermost end tag is missing
    EXPECT_FALSE(reader.LoadText(text));
    EXPECT_EQ(reader.LastError(), "End tag of D element not found");
}

// --- Navigation ------------------------------------------------------------

constexpr const char* kReference = R"(<?xml version="1.0"?>
<BX TOTAL="2">
  <SW NAME="Fictional Toolbar">
    <DIRECTORIES>
      <DIR NAME="Toolbar" PATH=":PFDir:"/>
    </DIRECTORIES>
    <FILES>
      <FILE NAME="tb.dll" PATH=":Sys32Dir:"/>
      <FILE NAME="tb.exe" PATH="" MD5="00112233445566778899aabbccddeeff" LSP="Yes"/>
    </FILES>
    <REGISTRY>
      <KEYS><REGKEY MAIN="HKEY_LOCAL_MACHINE" SUB="Software" VALUE="Toolbar"/></KEYS>
      <VALUE_DATA>
        <VALUE MAIN="HKEY_CURRENT_USER" SUB="Software\Main" VALUE="Start Page" VALUE_DATA="http://a.example/?x=1&amp;y=2" FIX=":Delete:"/>
      </VALUE_DATA>
    </REGISTRY>
    <DANGER_LEVEL>
      2
    </DANGER_LEVEL>
    <DESCRIPTION>Shows &lt;ads&gt; &amp; tracks</DESCRIPTION>
  </SW>
  <SW NAME="Quiet Dialer"/>
  <ActiveX>
    <CLSID Key="{00000000-1111-2222-3333-444444444444}"/>
  </ActiveX>
</BX>
)";

TEST(MarkupReaderNavigation, WalksAReferenceDocumentSectionBySection) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(kReference)) << reader.LastError();
    ASSERT_TRUE(reader.FindElement("BX"));
    EXPECT_EQ(reader.GetAttribute("TOTAL"), "2");

    ASSERT_TRUE(reader.FindChildElement("SW"));
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "Fictional Toolbar");
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "Fictional Toolbar");

    ASSERT_TRUE(reader.FindChildElement("DIRECTORIES"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("DIR"));
    EXPECT_EQ(reader.GetChildAttribute("PATH"), ":PFDir:");
    EXPECT_FALSE(reader.FindChildElement("DIR"));
    ASSERT_TRUE(reader.OutOfElement());

    ASSERT_TRUE(reader.FindChildElement("FILES"));
    ASSERT_TRUE(reader.IntoElement());
    std::vector<std::string> files;
    while (reader.FindChildElement("FILE")) {
        files.push_back(reader.GetChildAttribute("NAME") + "|" + reader.GetChildAttribute("PATH") +
                        "|" + reader.GetChildAttribute("MD5") + "|" +
                        reader.GetChildAttribute("LSP"));
    }
    EXPECT_EQ(files, (std::vector<std::string>{"tb.dll|:Sys32Dir:||",
                                               "tb.exe||00112233445566778899aabbccddeeff|Yes"}));
    ASSERT_TRUE(reader.OutOfElement());

    EXPECT_FALSE(reader.FindChildElement("COOKIES"));
    ASSERT_TRUE(reader.FindChildElement("REGISTRY"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("KEYS"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("REGKEY"));
    EXPECT_EQ(reader.GetChildAttribute("MAIN"), "HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(reader.OutOfElement());
    EXPECT_FALSE(reader.FindChildElement("VALUES"));
    ASSERT_TRUE(reader.FindChildElement("VALUE_DATA"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("VALUE"));
    EXPECT_EQ(reader.GetChildAttribute("SUB"), "Software\\Main");
    EXPECT_EQ(reader.GetChildAttribute("VALUE"), "Start Page");
    EXPECT_EQ(reader.GetChildAttribute("VALUE_DATA"), "http://a.example/?x=1&y=2");
    EXPECT_EQ(reader.GetChildAttribute("FIX"), ":Delete:");
    ASSERT_TRUE(reader.OutOfElement());
    ASSERT_TRUE(reader.OutOfElement());

    ASSERT_TRUE(reader.FindChildElement("DANGER_LEVEL"));
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetData(), "\n      2\n    ");
    ASSERT_TRUE(reader.OutOfElement());
    ASSERT_TRUE(reader.FindChildElement("DESCRIPTION"));
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetData(), "Shows <ads> & tracks");
    ASSERT_TRUE(reader.OutOfElement());
    ASSERT_TRUE(reader.OutOfElement());  // back at BX, SW is the current child

    ASSERT_TRUE(reader.FindChildElement("SW"));
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "Quiet Dialer");
    EXPECT_FALSE(reader.FindChildElement("SW"));
    ASSERT_TRUE(reader.FindChildElement("ActiveX"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("CLSID"));
    EXPECT_EQ(reader.GetChildAttribute("Key"), "{00000000-1111-2222-3333-444444444444}");
    EXPECT_EQ(reader.GetChildAttribute("KEY"), "");
}

TEST(MarkupReaderNavigation, SearchesRunForwardOnlyUntilTheCursorIsReset) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(
        "<BX><SW NAME=\"s\"><B NAME=\"b\"/><C NAME=\"c\"/><B NAME=\"b2\"/></SW></BX>"));
    ASSERT_TRUE(reader.FindElement("BX"));
    ASSERT_TRUE(reader.FindChildElement("SW"));
    ASSERT_TRUE(reader.IntoElement());
    ASSERT_TRUE(reader.FindChildElement("B"));
    ASSERT_TRUE(reader.FindChildElement("C"));
    // Only the B after C is still ahead; then none.
    ASSERT_TRUE(reader.FindChildElement("B"));
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "b2");
    EXPECT_FALSE(reader.FindChildElement("B"));
    EXPECT_FALSE(reader.FindChildElement("C"));
    // A failed search keeps the position: the current child is still b2.
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "b2");

    // Stepping out and back in starts the children over.
    ASSERT_TRUE(reader.OutOfElement());
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "s");
    ASSERT_TRUE(reader.FindChildElement("B"));
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "b");
}

TEST(MarkupReaderNavigation, CursorStepsBetweenLevels) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(
        "<R NAME=\"r\"><E NAME=\"empty\"/><P NAME=\"p\"><K NAME=\"k1\"/><K NAME=\"k2\"/></P>"
        "<Q NAME=\"q\"/></R>"));
    // Nothing current yet: no stepping, no attributes.
    EXPECT_FALSE(reader.IntoElement());
    EXPECT_FALSE(reader.OutOfElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "");
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "");

    // Without a current element, a child search first finds the document element.
    ASSERT_TRUE(reader.FindChildElement("P"));
    EXPECT_EQ(reader.GetAttribute("NAME"), "r");
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "p");
    // The top level holds only the document element.
    EXPECT_FALSE(reader.OutOfElement());

    // Into: the current child becomes current; siblings are searched after it.
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "p");
    EXPECT_FALSE(reader.FindElement("E"));
    EXPECT_EQ(reader.GetAttribute("NAME"), "p");
    ASSERT_TRUE(reader.FindElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "q");
    EXPECT_FALSE(reader.FindElement());

    // Out: the element left becomes the current child.
    ASSERT_TRUE(reader.OutOfElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "r");
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "q");
    EXPECT_FALSE(reader.FindChildElement());

    // Into an element with no current child: nothing is current, and a
    // search starts at the first child.
    EXPECT_FALSE(reader.OutOfElement());
    ASSERT_TRUE(reader.LoadText("<R><E NAME=\"e\"/><P NAME=\"p\"/></R>"));
    ASSERT_TRUE(reader.FindElement("R"));
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "");
    EXPECT_EQ(reader.GetData(), "");
    EXPECT_FALSE(reader.IntoElement());
    ASSERT_TRUE(reader.FindElement("P"));
    EXPECT_EQ(reader.GetAttribute("NAME"), "p");
    // An element without children: stepping in finds nothing, stepping out returns.
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_FALSE(reader.FindElement());
    ASSERT_TRUE(reader.OutOfElement());
    EXPECT_EQ(reader.GetAttribute("NAME"), "p");
}

TEST(MarkupReaderNavigation, NamesMatchExactlyAndCaseSensitively) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(
        "<BX><NAMES i=\"1\"/><NAM i=\"2\"/><name i=\"3\"/><NAME i=\"4\"/><NAME[x] i=\"5\"/></BX>"));
    ASSERT_TRUE(reader.FindElement("BX"));
    ASSERT_TRUE(reader.FindChildElement("NAME"));
    EXPECT_EQ(reader.GetChildAttribute("i"), "4");
    // A tag matches a requested name that goes on with ' ', '=', '/' or '['.
    for (const char* requested : {"NAME extra", "NAME=x", "NAME/", "NAME[x]"}) {
        ASSERT_TRUE(reader.LoadText("<BX><NAMES/><NAME i=\"4\"/></BX>"));
        ASSERT_TRUE(reader.FindElement("BX"));
        ASSERT_TRUE(reader.FindChildElement(requested)) << requested;
        EXPECT_EQ(reader.GetChildAttribute("i"), "4") << requested;
    }
    ASSERT_TRUE(reader.LoadText("<BX><NAME i=\"4\"/></BX>"));
    ASSERT_TRUE(reader.FindElement("BX"));
    EXPECT_FALSE(reader.FindChildElement("NAMEX"));
    EXPECT_FALSE(reader.FindChildElement("NAM"));
    EXPECT_FALSE(reader.FindChildElement(""));
    // '[' is part of a tag name, and an end tag naming the part before it
    // closes the element.
    ASSERT_TRUE(reader.LoadText("<BX><NAME[x]>v</NAME></BX>"));
    ASSERT_TRUE(reader.FindElement("BX"));
    EXPECT_TRUE(reader.FindChildElement("NAME[x]"));
}

// --- Attributes ------------------------------------------------------------

TEST(MarkupReaderAttributes, OnlyQuotedValuesAreReturned) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(
        "<A d=\"double\" s='single' u=unquoted flag spaced = \"yes\" e=\"\" "
        "v=\"it's\" w='say \"hi\"' x=\"a>b/c?d\" NAME=\"Y\" Y=\"z\" m=a\"b n=\"1\">text</A>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("d"), "double");
    EXPECT_EQ(reader.GetAttribute("s"), "single");
    EXPECT_EQ(reader.GetAttribute("u"), "");
    EXPECT_EQ(reader.GetAttribute("flag"), "");
    EXPECT_EQ(reader.GetAttribute("spaced"), "yes");
    EXPECT_EQ(reader.GetAttribute("e"), "");
    EXPECT_EQ(reader.GetAttribute("v"), "it's");
    EXPECT_EQ(reader.GetAttribute("w"), "say \"hi\"");
    EXPECT_EQ(reader.GetAttribute("x"), "a>b/c?d");
    // Values are never taken for names.
    EXPECT_EQ(reader.GetAttribute("Y"), "z");
    // A quote inside an unquoted word opens no string.
    EXPECT_EQ(reader.GetAttribute("m"), "");
    EXPECT_EQ(reader.GetAttribute("n"), "1");
    EXPECT_EQ(reader.GetAttribute("missing"), "");
    EXPECT_EQ(reader.GetAttribute("D"), "");
    // A '>' inside a quoted value does not end the start tag.
    EXPECT_EQ(reader.GetData(), "text");
}

TEST(MarkupReaderAttributes, SearchStopsAtTheEndOfTheStartTag) {
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText("<A a=\"1\"/ b=\"2\"><B c=\"3\"/></A>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("a"), "1");
    EXPECT_EQ(reader.GetAttribute("b"), "");  // after a '/'
    EXPECT_EQ(reader.GetAttribute("c"), "");  // a child's attribute
    ASSERT_TRUE(reader.LoadText("<A a=\"1\" ? b=\"2\"/>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("b"), "");
    // The tag name itself is not an attribute name.
    ASSERT_TRUE(reader.LoadText("<A/>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("A"), "");
}

// --- Text and entities -----------------------------------------------------

TEST(MarkupReaderText, EntitiesAreDecodedOneLevelOnly) {
    MarkupReader reader;
    ASSERT_TRUE(
        reader.LoadText("<A v=\"&lt;&amp;&gt;&apos;&quot;\" w=\"&amp;amp;\" t=\"&amp\">;"
                        "&lt;&amp;&gt;&apos;&quot;|&amp;amp;|&nbsp;|&#65;|&lt|&|&am</A>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("v"), "<&>'\"");
    EXPECT_EQ(reader.GetAttribute("w"), "&amp;");
    // The ';' after the closing quote is outside the value.
    EXPECT_EQ(reader.GetAttribute("t"), "&amp");
    EXPECT_EQ(reader.GetData(), ";<&>'\"|&amp;|&nbsp;|&#65;|&lt|&|&am");
}

TEST(MarkupReaderText, DataKeepsWhitespaceAndCdataStaysRaw) {
    MarkupReader reader;
    ASSERT_TRUE(
        reader.LoadText("<R><L> 5 </L><C>\r\n  <![CDATA[a < b &amp; ]] c]]>  </C><E/><N></N>"
                        "<P><K/></P><T>x<!-- note -->y</T></R>"));
    ASSERT_TRUE(reader.FindElement("R"));
    ASSERT_TRUE(reader.IntoElement());
    const auto dataOf = [&reader](const char* name) {
        EXPECT_TRUE(reader.FindElement(name)) << name;
        return reader.GetData();
    };
    EXPECT_EQ(dataOf("L"), " 5 ");
    EXPECT_EQ(dataOf("C"), "a < b &amp; ]] c");
    EXPECT_EQ(dataOf("E"), "");
    EXPECT_EQ(dataOf("N"), "");
    EXPECT_EQ(dataOf("P"), "");  // has a child element
    // Text holding a skipped node is returned as written.
    EXPECT_EQ(dataOf("T"), "x<!-- note -->y");
}

// --- Skipped nodes ---------------------------------------------------------

TEST(MarkupReaderSkippedNodes, CommentsInstructionsDeclarationsAndCdataAreSkipped) {
    constexpr const char* kText =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- header <BX NAME=\"fake\"/> -->\n"
        "<!DOCTYPE BX [\n"
        "  <!ELEMENT BX ANY>\n"
        "  <!ENTITY gt2 \"]>\">\n"
        "]>\n"
        "<BX NAME=\"root\">\n"
        "  <!-- between -->\n"
        "  <SW NAME=\"one\"/>\n"
        "  <?pi <SW NAME=\"fake\"/> ?>\n"
        "  <![CDATA[ <SW NAME=\"fake\"/> ]]>\n"
        "  <!NOTE [a [b] > c] >\n"
        "  <SW NAME=\"two\">2</SW>\n"
        "  <!-- before the end tag -->\n"
        "</BX>";
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(kText)) << reader.LastError();
    EXPECT_EQ(Outline(reader), "0:root=\n1:one=\n1:two=2\n");
}

TEST(MarkupReaderSkippedNodes, ShortOrUnclosedNodesAreInvalid) {
    MarkupReader reader;
    for (const char* text : {"<BX><!", "<BX><?", "<BX><!-", "<BX><?pi>", "<BX><!-- -- >",
                             "<BX><![CDATA[ ]]", "<BX><!DOCTYPE x [ > ", "<BX><!x \"> "}) {
        EXPECT_FALSE(reader.LoadText(text)) << text;
        EXPECT_EQ(reader.LastError(), "Invalid node") << text;
    }
}

// --- Line ends and UTF-8 ---------------------------------------------------

TEST(MarkupReaderText, LineFeedAndCarriageReturnLineFeedReadTheSame) {
    const std::string lf =
        "<BX NAME=\"root\">\n\t<SW NAME=\"a\"\n\t\tPATH=\"p\">\n\t\t<DESCRIPTION NAME=\"d\">"
        "text</DESCRIPTION>\n\t</SW\n>\n\t<SW NAME=\"b\"/>\n</BX>\n";
    std::string crlf;
    for (const char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    MarkupReader lfReader;
    MarkupReader crlfReader;
    ASSERT_TRUE(lfReader.LoadText(lf));
    ASSERT_TRUE(crlfReader.LoadText(crlf));
    const std::string outline = Outline(lfReader);
    EXPECT_EQ(outline, "0:root=\n1:a=\n2:d=text\n1:b=\n");
    EXPECT_EQ(Outline(crlfReader), outline);
}

TEST(MarkupReaderText, MultiByteCharactersInNamesAttributesAndText) {
    // "Größe", "Maß", "Straße", "日本語", "€".
    const std::string name =
        "Gr\xC3\xB6\xC3\x9F"
        "e";
    const std::string attribute = "Ma\xC3\x9F";
    const std::string value =
        "Stra\xC3\x9F"
        "e \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
    const std::string text = "\xE2\x82\xAC &amp; \xE6\x97\xA5";
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText("<R><" + name + " " + attribute + "=\"" + value + "\">" + text +
                                "</" + name + "></R>"));
    ASSERT_TRUE(reader.FindElement("R"));
    // Names that differ only in a trail byte do not match ("ö" against "÷").
    EXPECT_FALSE(
        reader.FindChildElement("Gr\xC3\xB7\xC3\x9F"
                                "e"));
    ASSERT_TRUE(reader.FindChildElement(name));
    EXPECT_EQ(reader.GetChildAttribute(attribute), value);
    ASSERT_TRUE(reader.IntoElement());
    EXPECT_EQ(reader.GetData(), "\xE2\x82\xAC & \xE6\x97\xA5");

    // A stray lead byte never swallows the delimiter that follows it.
    ASSERT_TRUE(reader.LoadText("\xC3<A v=\"\xE2\">\xC3</A>"));
    ASSERT_TRUE(reader.FindElement("A"));
    EXPECT_EQ(reader.GetAttribute("v"), "\xE2");
    EXPECT_EQ(reader.GetData(), "\xC3");
}

// --- Index size ------------------------------------------------------------

TEST(MarkupReaderIndex, ManyElementsOutgrowTheFirstAllocation) {
    // Short tags give far more elements than the first allocation is sized for.
    constexpr int kCount = 50000;
    std::string text = "<BX>";
    for (int i = 0; i < kCount; ++i) {
        text += "<I N=\"" + std::to_string(i) + "\"><J N=\"" + std::to_string(i) + "\"/></I>";
    }
    text += "<LAST N=\"end\"/></BX>";
    MarkupReader reader;
    ASSERT_TRUE(reader.LoadText(std::move(text)));
    ASSERT_TRUE(reader.FindElement("BX"));
    int seen = 0;
    while (reader.FindChildElement("I")) {
        ASSERT_EQ(reader.GetChildAttribute("N"), std::to_string(seen));
        ASSERT_TRUE(reader.IntoElement());
        ASSERT_TRUE(reader.FindChildElement("J"));
        ASSERT_EQ(reader.GetChildAttribute("N"), std::to_string(seen));
        ASSERT_TRUE(reader.OutOfElement());
        ++seen;
    }
    EXPECT_EQ(seen, kCount);
    ASSERT_TRUE(reader.FindChildElement("LAST"));
    EXPECT_EQ(reader.GetChildAttribute("N"), "end");
}

}  // namespace
