#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "xml/xml.h"

namespace {

// A cursor on `text`, moved to the first element whose start tag begins with
// `startTag`, found with the cursor's own depth-first navigation.
xml cursorOn(const std::string& text, const std::string& startTag) {
    xml x;
    x.setXML(text);
    std::function<bool()> find = [&]() -> bool {
        do {
            if (x.getText().compare(x.getCursor(), startTag.size(), startTag) == 0)
                return true;
            if (x.Go2ChildLevel()) {
                if (find())
                    return true;
                x.Go2ParentLevel();
            }
        } while (x.GoNextSibling());
        return false;
    };
    EXPECT_TRUE(find()) << startTag;
    return x;
}

}  // namespace

TEST(XmlCursor, NavigatesAcrossSelfClosingElements) {
    xml x = cursorOn("<a><b/><c/></a>", "<b");
    ASSERT_TRUE(x.GoNextSibling());
    EXPECT_EQ(x.GetCurElemName(), "c/");
    EXPECT_FALSE(x.GoNextSibling());
    ASSERT_TRUE(x.Go2ParentLevel());
    EXPECT_EQ(x.getCursor(), 0u);
    EXPECT_FALSE(x.Go2ParentLevel());

    xml pages = cursorOn("<d><p n=\"1\"><z/><z/></p><p n=\"2\"><z a=\"3\" /></p></d>", "<p");
    ASSERT_TRUE(pages.GoNextSibling());
    EXPECT_EQ(pages.GetAttrib("n"), "2");
    ASSERT_TRUE(pages.Go2ChildLevel());
    EXPECT_FALSE(pages.Go2ChildLevel());
    EXPECT_EQ(pages.GetCurElemDoc(), "<z a=\"3\" />");
}

TEST(XmlCursor, ParentIsTheInnermostEnclosingElement) {
    const std::string text = "<p>\n<a>\n<b></b>\n</a><c></c>\n</p>";
    xml onC = cursorOn(text, "<c");
    ASSERT_TRUE(onC.Go2ParentLevel());
    EXPECT_EQ(onC.GetCurElemName(), "p");
    xml onB = cursorOn(text, "<b");
    ASSERT_TRUE(onB.Go2ParentLevel());
    EXPECT_EQ(onB.GetCurElemName(), "a");
    EXPECT_EQ(onB.GetCurElemDoc(), "<a>\n<b></b>\n</a>");
    EXPECT_EQ(onB.GetCurElemData(), "\n<b></b>\n");
}

TEST(XmlCursor, PreviousSiblingLiesBehindAnEndTag) {
    xml x = cursorOn("<r><a></a><b><i></i></b><c/></r>", "<c");
    // Behind <c/> is b's end tag; the "<" before it is i's end tag, not b.
    ASSERT_TRUE(x.GoPrevSibling());
    EXPECT_EQ(x.getText().substr(x.getCursor(), 4), "</i>");
    xml onB = cursorOn("<r><a></a><b></b></r>", "<b");
    ASSERT_TRUE(onB.GoPrevSibling());
    EXPECT_EQ(onB.GetCurElemName(), "a");
    EXPECT_FALSE(onB.GoPrevSibling());
}

TEST(XmlCursor, AttributeSearchIsAPlainSubstringSearchInTheStartTag) {
    xml x;
    x.setXML("<z width=\"100\" id=\"7\"><c row=\"9\"/></z>");
    EXPECT_EQ(x.GetAttrib("id"), "100");
    EXPECT_EQ(x.GetAttrib("id="), "7");
    EXPECT_EQ(x.GetAttrib("row"), "");
    EXPECT_EQ(x.RetrieveSpecifiedElem("row"), "<c row=\"9\"/>");
    EXPECT_EQ(x.RetrieveSpecifiedElem("absent"), "");
    EXPECT_EQ(x.getCursor(), 0u);
}

TEST(XmlCursor, DynamicAttributesOfOneStartTag) {
    xml x;
    x.setXML("<z type=\"text\" id=\"z1\"\r\n\tcol=\"4\" row = \"5\" id=\"dup\"><y a=\"b\"/></z>");
    EXPECT_EQ(x.GetDynamicAttrib(1),
              (std::map<std::string, std::string>{
                  {"type", "text"}, {"id", "z1"}, {"col", "4"}, {"row", "5"}}));
    EXPECT_EQ(x.GetDynamicAttrib(3).count("id"), 1u);
    EXPECT_EQ(x.GetDynamicAttrib(3).count("type"), 0u);
    // An "=" inside a value separates another attribute, named by the word
    // before it and valued by the next quoted text.
    x.setXML("<z note=\"k=v\" b=\"3\">");
    EXPECT_EQ(x.GetDynamicAttrib(1),
              (std::map<std::string, std::string>{{"note", "k=v"}, {"k", " b="}, {"b", "3"}}));
}

// Each name's value comes from the first place where name + "=" occurs, also
// when that is the end of a longer name; a tag of many attributes is read
// whole, and a name repeated far into it keeps its first value.
TEST(XmlCursor, DynamicAttributesOfAManyAttributeTagFollowTheFirstOccurrence) {
    std::string tag = "<z xid=\"x\" ba7=\"b\"";
    std::map<std::string, std::string> expected{{"xid", "x"}, {"ba7", "b"}, {"id", "x"}};
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "a" + std::to_string(i);
        tag += " " + name + "=\"" + std::to_string(i) + "\"";
        expected[name] = name == "a7" ? "b" : std::to_string(i);
    }
    xml x;
    x.setXML(tag + " a3=\"again\" id=\"i\">");
    EXPECT_EQ(x.GetDynamicAttrib(1), expected);
}

// Tags of a few names are read by comparing the names, tags of many through
// hashing; both must give the same values. Random tags of short names that
// end one another, blanks around "=" and "=" inside values are read alone
// and with enough further names behind them to take the hashing; those
// names end in "Z", which no other name holds, so they change nothing else.
TEST(XmlCursor, DynamicAttributesAreTheSameForFewAndManyNames) {
    std::mt19937 random(5);
    auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const std::vector<std::string> names{"a", "b", "ab", "ba", "id", "xid", ""};
    const std::vector<std::string> signs{"=", "=", " =", "= ", " = "};
    const std::vector<std::string> values{"1", "x", "", "k=v", "b=", "=", "a=1 b=2"};
    std::string padding;
    for (int k = 0; k < 20; ++k)
        padding += " p" + std::to_string(k) + "Z=\"" + std::to_string(k) + "\"";
    for (int trial = 0; trial < 3000; ++trial) {
        std::string tag = "<e";
        for (int n = std::uniform_int_distribution<int>(0, 6)(random); n > 0; --n)
            tag += " " + pick(names) + pick(signs) + "\"" + pick(values) + "\"";
        tag += " zz=\"end\"";
        const int first = trial % 3 + 1;
        xml few, many;
        few.setXML(tag + ">");
        many.setXML(tag + padding + ">");
        std::map<std::string, std::string> expected = many.GetDynamicAttrib(first);
        for (auto it = expected.begin(); it != expected.end();)
            it = !it->first.empty() && it->first.back() == 'Z' ? expected.erase(it) : std::next(it);
        EXPECT_EQ(few.GetDynamicAttrib(first), expected) << tag << " from " << first;
    }
}

// The one-pass read of a plain start tag gives what the searches give, on
// random tags of names that hold or end one another, in element names and
// values too; tags off the plain form (blanks, "=" in a value) are refused.
TEST(XmlCursor, PlainStartTagIsReadAsTheSearchesReadIt) {
    std::mt19937 random(11);
    auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const std::vector<std::string> elements{"NQ_ZONE", "zone", "grid", "e"};
    const std::vector<std::string> names{"id", "width", "xid", "row", "col", "qola_type", "d"};
    const std::vector<std::string> signs{"=", "=", "=", "=", " ="};
    // Values of more than 16 bytes are searched rather than looked at byte by byte.
    const std::vector<std::string> values{"1",       "",    "g7", "(1,2);(3,4);(5,6);(7,8);(9,10)",
                                          "sidebar", "k=v", "a b", "a long value, and then=",
                                          "a long value that hides the id"};
    const std::vector<std::string> ends{">", ">", "/>", " >"};
    const std::vector<std::string> after{"</e>", "<c/></e>", ""};
    const std::array<std::string_view, 5> fixed{"row", "col", "height", "width", "id"};
    int plain = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string tag = "<" + pick(elements);
        for (int n = std::uniform_int_distribution<int>(0, 7)(random); n > 0; --n)
            tag += " " + pick(names) + pick(signs) + "\"" + pick(values) + "\"";
        xml x;
        x.setXML(tag + pick(ends) + pick(after));
        std::array<std::string, 5> values1;
        bool hasChild = false;
        std::vector<std::pair<std::string, std::string>> dynamic1, dynamic2;
        if (!x.readPlainStartTag(fixed, values1, hasChild,
                                 [&](std::string_view name, std::string_view value) {
                                     dynamic1.emplace_back(name, value);
                                 }))
            continue;
        ++plain;
        x.forEachDynamicAttrib(1, [&](std::string&& name, std::string&& value) {
            dynamic2.emplace_back(name, value);
        });
        EXPECT_EQ(values1, x.GetAttribs<5>(fixed)) << x.getText();
        EXPECT_EQ(dynamic1, dynamic2) << x.getText();
        EXPECT_EQ(hasChild, x.bHasChild()) << x.getText();
    }
    EXPECT_GT(plain, 300);
}

TEST(XmlCursor, InsertionLayoutAndAttributeOrder) {
    xml x;
    ASSERT_TRUE(x.InsertSiblingElem("d", ""));
    EXPECT_FALSE(x.InsertSiblingElem("e", ""));  // the cursor is at 0
    ASSERT_TRUE(x.InsertChildElem("p", 2, ""));
    EXPECT_EQ(x.getText(), "<d>\n\t<p>\n\t</p>\n</d>");
    ASSERT_TRUE(x.InsertChildElem("q", 3, "data\n"));
    ASSERT_TRUE(x.Go2ChildLevel());
    ASSERT_TRUE(x.InsertSiblingElem("s", ""));
    ASSERT_TRUE(x.AddAttrib("a", "1"));
    ASSERT_TRUE(x.AddAttrib("b", -2));
    EXPECT_EQ(x.getText(),
              "<d>\n\t<p>\n\t</p><s b=\"-2\" a=\"1\">\n</s>\n\t\t<q>\ndata\n\t\t</q>\n</d>");
    ASSERT_TRUE(x.SetAttrib("a", "x"));
    ASSERT_TRUE(x.DelAttrib("b"));
    EXPECT_FALSE(x.DelAttrib("b"));
    EXPECT_EQ(x.GetCurElemDoc(), "<s a=\"x\">\n</s>");

    // An attribute on an empty self-closing element keeps it self-closing;
    // such an element takes no child.
    x.setXML("<z/><n/>");
    ASSERT_TRUE(x.AddAttrib("a", "1"));
    EXPECT_FALSE(x.InsertChildElem("c", 2, ""));
    EXPECT_EQ(x.getText(), "<z a=\"1\"/><n/>");
}

TEST(XmlCursor, DeletingAnElementWithChildrenNeedsForce) {
    xml x = cursorOn("<r><a><b/></a><c/></r>", "<a");
    EXPECT_FALSE(x.DelCurElem(false));
    ASSERT_TRUE(x.DelCurElem(true));
    EXPECT_EQ(x.getText(), "<r><c/></r>");
    EXPECT_EQ(x.GetCurElemName(), "c/");
    ASSERT_TRUE(x.DelCurElem(false));
    EXPECT_EQ(x.getCursor(), 0u);
}

TEST(XmlCursor, LoadsBytesAndSavesInsideTheRootElement) {
    nqtest::TempDir dir;
    const std::string content("<a>\r\n<b x=\"1\"/>\r\n</a>\0", 22);
    nqtest::writeFile(dir.file("in.xml"), content);
    xml x;
    x.setXML("<old/>");
    EXPECT_FALSE(x.LoadXml(dir.file("missing.xml")));
    EXPECT_FALSE(x.LoadXml(dir.path()));
    EXPECT_EQ(x.getText(), "<old/>");
    ASSERT_TRUE(x.LoadXml(dir.file("in.xml")));
    EXPECT_EQ(x.getText(), content);

    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Page segmentation zones, written by wexa -->\n"
        "<QOLA xmlns=\"urn:wexa:qola\" version=\"1.0\">\n";
    xml empty;
    ASSERT_TRUE(empty.SaveXml(dir.file("empty.xml")));
    EXPECT_EQ(nqtest::readFile(dir.file("empty.xml")), head + "\n</QOLA>");
    x.setXML("<d/>");
    EXPECT_FALSE(x.SaveXml(dir.file("no/dir/f.xml")));
    ASSERT_TRUE(x.SaveXml(dir.file("d.xml")));
    EXPECT_EQ(x.GetCurElemName(), "d/");
    ASSERT_TRUE(x.SaveXml(dir.file("d2.xml")));  // wraps a second time
    EXPECT_EQ(nqtest::readFile(dir.file("d2.xml")), head + head + "<d/>\n</QOLA>\n</QOLA>");
}

TEST(XmlCursor, MissingCharactersRaiseOutOfRange) {
    xml x;
    EXPECT_THROW(x.GetAttrib("a"), std::out_of_range);  // no current element
    EXPECT_THROW(x.bHasChild(), std::out_of_range);
    x.setXML("<z col=\"1 row=2>");
    EXPECT_THROW(x.GetAttrib("row"), std::out_of_range);
    EXPECT_THROW(x.GetDynamicAttrib(1), std::out_of_range);
    x.setXML("<z col=\"1\"");
    EXPECT_THROW(x.GetAttrib("col"), std::out_of_range);
    EXPECT_FALSE(x.GoNextSibling());
    // Unbalanced text ends at the last tag seen, or has no end at all.
    x.setXML("<a><b><c/>");
    EXPECT_EQ(x.GetCurElemDoc(), "<a><b><c/>");
    x.setXML("<a>text");
    EXPECT_THROW(x.GetCurElemDoc(), std::out_of_range);
}

TEST(XmlCursor, ElementReadsAtOrPastTheEndRaiseOutOfRange) {
    xml none;  // empty text, cursor none
    EXPECT_THROW(none.GetCurElemName(), std::out_of_range);
    EXPECT_THROW(none.GetCurElemDoc(), std::out_of_range);
    xml empty;
    empty.setXML("");  // cursor 0 of an empty text
    EXPECT_THROW(empty.GetCurElemName(), std::out_of_range);
    EXPECT_THROW(empty.GetCurElemDoc(), std::out_of_range);
    EXPECT_THROW(empty.GetCurElemData(), std::out_of_range);
    xml x;
    x.setXML("<a>t</a>");
    for (std::size_t pos : {std::size_t(8), std::size_t(9), xml::npos}) {
        EXPECT_THROW(x.GetElemName(pos), std::out_of_range) << pos;
        EXPECT_THROW(x.GetElemDoc(pos), std::out_of_range) << pos;
        EXPECT_THROW(x.GetElemData(pos), std::out_of_range) << pos;
    }
    // Inside the text, a position that holds no "<" still reads as empty.
    EXPECT_EQ(x.GetElemName(3), "");
    EXPECT_EQ(x.GetElemData(0), "t");
}

// Every prefix of a document and a set of garbage texts, walked with every
// read operation: nothing may crash (the sanitizer build watches) and the walk
// must end within its step budget.
TEST(XmlCursor, TruncatedAndGarbageTextsNeverCrashOrHang) {
    const std::string document =
        "<d src=\"a\">\n\t<p w=\"1\">\n\t\t<z id=\"1\"><c a=\"b\"/></z><z/>\n\t</p><p/>\n</d>";
    std::vector<std::string> texts = {"<",
                                      "<<<<",
                                      "</a>",
                                      "<a></b></c>",
                                      "</>",
                                      "<>",
                                      "<a x=\"<\"><b/></a>",
                                      "<a =\"\"=\"=\">",
                                      "<a x=x=x=x>",
                                      "<!-- c --><a><?p?></a>",
                                      "< a/><b/>"};
    for (std::size_t n = 0; n <= document.size(); ++n)
        texts.push_back(document.substr(0, n));
    for (const std::string& text : texts) {
        xml x;
        x.setXML(text);
        int steps = 0;
        std::function<void()> walk = [&] {
            do {
                ASSERT_LT(++steps, 1000) << text;
                try {
                    x.GetCurElemDoc();
                    x.GetCurElemData();
                    x.GetAttrib("id");
                    x.GetDynamicAttrib(1);
                } catch (const std::out_of_range&) {
                }
                const std::size_t here = x.getCursor();
                if (x.Go2ChildLevel()) {
                    walk();
                    x.Go2ParentLevel();
                    if (x.getCursor() != here)
                        return;  // malformed: a reader stops here
                }
            } while (x.GoNextSibling());
        };
        try {
            walk();
        } catch (const std::out_of_range&) {
        }
    }
}
