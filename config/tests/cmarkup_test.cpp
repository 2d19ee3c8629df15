#include "cmarkup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";

// The element tree of a document as nested "name[children]" text, with each
// record's offsets, so two indexes can be compared whole.
void Describe(const CMarkup& m, int32_t e, std::string* out) {
  for (int32_t c = m.Record(e).firstChild; c; c = m.Record(c).nextSibling) {
    const auto& r = m.Record(c);
    EXPECT_EQ(r.parent, e);
    *out += "(" + std::to_string(r.startTagBegin) + "," + std::to_string(r.startTagEnd) + "," +
            std::to_string(r.endTagBegin) + "," + std::to_string(r.endTagEnd) + "[";
    Describe(m, c, out);
    *out += "])";
  }
}

std::string Describe(const CMarkup& m) {
  std::string out;
  Describe(m, 0, &out);
  return out;
}

TEST(CMarkupParse, DeclarationOnlyFailsAndRootGoesOnTheNextLine) {
  CMarkup m;
  EXPECT_FALSE(m.SetDocument(kDeclaration));
  EXPECT_EQ(m.ErrorText(), "Element tag not found");
  ASSERT_TRUE(m.AppendElement("VComConfiguration"));
  EXPECT_EQ(m.DocumentText(), std::string(kDeclaration) + "<VComConfiguration/>\r\n");
  EXPECT_FALSE(m.AppendElement("Second")) << "a document has one root";
}

TEST(CMarkupParse, RootAfterDeclarationWithoutLineEndStillStartsANewLine) {
  CMarkup m;
  EXPECT_FALSE(m.SetDocument("<?xml version=\"1.0\"?>"));
  ASSERT_TRUE(m.AppendElement("R"));
  EXPECT_EQ(m.DocumentText(), "<?xml version=\"1.0\"?>\r\n<R/>\r\n");
}

TEST(CMarkupParse, EmptyOrAbsentTextIsNotADocument) {
  CMarkup m;
  EXPECT_FALSE(m.SetDocument(nullptr));
  EXPECT_FALSE(m.SetDocument(""));
  EXPECT_FALSE(m.FindChild());
  EXPECT_EQ(m.TagName(), "");
}

struct BadDocument {
  const char* name;
  const char* text;
  const char* error;
};

class CMarkupErrors : public testing::TestWithParam<BadDocument> {};

TEST_P(CMarkupErrors, GivesTheErrorTextAndAnEmptyIndex) {
  CMarkup m;
  EXPECT_FALSE(m.SetDocument(GetParam().text));
  EXPECT_EQ(m.ErrorText(), GetParam().error);
  EXPECT_EQ(m.IndexUsed(), 1);
  EXPECT_FALSE(m.FindChild());
}

INSTANTIATE_TEST_SUITE_P(
    All, CMarkupErrors,
    testing::Values(
        BadDocument{"TextOnly", "just text", "Element tag not found"},
        BadDocument{"UnclosedRoot", "<A>text", "Element tag not found"},
        BadDocument{"EndTagFirst", "</A>", "Element tag not found"},
        BadDocument{"LoneBracket", "<", "Abrupt end within tag"},
        BadDocument{"BracketAndSpace", "<A> <  \r\n", "Abrupt end within tag"},
        BadDocument{"QuotedTag", "<'A'/>", "Tag starts with quote"},
        BadDocument{"OpenComment", "<!-- no end ->", "Invalid node"},
        BadDocument{"ShortComment", "<!--><A/>", "Invalid node"},
        BadDocument{"OpenDeclaration", "<?xml version='1.0'>", "Invalid node"},
        BadDocument{"OpenCdata", "<A><![CDATA[ x ]></A>", "Invalid node"},
        BadDocument{"OpenDoctype", "<!DOCTYPE A [ <!ENTITY x 'y'> <A/>", "Invalid node"},
        BadDocument{"DoctypeOpenQuote", "<!DOCTYPE A \"> <A/>", "Invalid node"},
        BadDocument{"StartTagCut", "<A", "End of tag not found"},
        BadDocument{"ChildTagCut", "<A><B></B </A", "End tag not completed for element B"},
        BadDocument{"WrongEndTag", "<A><B></C></A>", "End tag does not correspond to B"},
        BadDocument{"EndTagOtherCase", "<Server></server>", "End tag does not correspond to Server"},
        BadDocument{"QuotedEndName", "<A></'A'>", "End tag does not correspond to A"},
        BadDocument{"EndTagWithoutName", "<A></>", "End tag does not correspond to A"},
        BadDocument{"EndTagCut", "<A></A", "End tag not completed for element A"},
        BadDocument{"EndTagSlashOnly", "<A></", "End tag not completed for element A"}),
    [](const testing::TestParamInfo<BadDocument>& info) { return info.param.name; });

TEST(CMarkupParse, RecordsHoldTheBracketOffsets) {
  CMarkup m;
  //                       0123456789012345678901
  ASSERT_TRUE(m.SetDocument("<A><B/><C>x</C ></A>"));
  const auto& a = m.Record(m.Record(0).firstChild);
  EXPECT_EQ(a.startTagBegin, 0);
  EXPECT_EQ(a.startTagEnd, 2);
  EXPECT_EQ(a.endTagBegin, 16);
  EXPECT_EQ(a.endTagEnd, 19);
  const auto& b = m.Record(a.firstChild);
  EXPECT_EQ(b.startTagBegin, 3);
  EXPECT_EQ(b.startTagEnd, 6);
  EXPECT_EQ(b.endTagBegin, 5) << "an empty element's end tag begins at its '/'";
  EXPECT_EQ(b.endTagEnd, 6);
  const auto& c = m.Record(b.nextSibling);
  EXPECT_EQ(c.startTagBegin, 7);
  EXPECT_EQ(c.endTagBegin, 11);
  EXPECT_EQ(c.endTagEnd, 15);
  EXPECT_EQ(c.nextSibling, 0);
}

TEST(CMarkupParse, SkipsCommentsInstructionsDoctypeAndText) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument(
      "<?xml version=\"1.0\"?>\r\n<!DOCTYPE R [ <!ELEMENT R (S*)> <!ATTLIST S a CDATA \">\"> ]>\r\n"
      "<!-- a <comment> -->text<R>loose text<?pi x?><S>1</S><!-- x --><![CDATA[<no/>]]><S>2</S></R>"
      "<trailing"))
      << m.ErrorText();
  ASSERT_TRUE(m.FindChild("S"));
  ASSERT_TRUE(m.EnterChild());
  EXPECT_EQ(m.ElementText(), "1");
  ASSERT_TRUE(m.LeaveToParent());
  ASSERT_TRUE(m.FindChild("S"));
  ASSERT_TRUE(m.EnterChild());
  EXPECT_EQ(m.ElementText(), "2");
  ASSERT_TRUE(m.LeaveToParent());
  EXPECT_FALSE(m.FindChild()) << "the CDATA section is not an element";
}

TEST(CMarkupParse, DeepNestingDoesNotExhaustTheStack) {
  const int depth = 200000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<e>";
  for (int i = 0; i < depth; ++i) text += "</e>";
  CMarkup m;
  ASSERT_TRUE(m.SetDocument(std::move(text)));
  EXPECT_EQ(m.IndexUsed(), depth + 1);
  text.assign(depth, '<');
  EXPECT_FALSE(CMarkup().SetDocument(text.c_str()));
}

TEST(CMarkupIndex, GrowsByHalfFromTheSizeSetForTheText) {
  std::string text = "<R>";
  for (int i = 0; i < 20; ++i) text += "<a/>";
  text += "</R>";
  CMarkup m;
  ASSERT_TRUE(m.SetDocument(text.c_str()));
  const size_t initial = text.size() / 64 + 8;
  EXPECT_EQ(m.IndexCapacity(), 28u) << "87 / 64 + 8 = 9 -> 13 -> 19 -> 28 records";
  EXPECT_EQ(initial, 9u);
  EXPECT_EQ(m.IndexUsed(), 22);
}

TEST(CMarkupNavigate, FindChildMatchesNamesInOrderAndKeepsTheCursorOnFailure) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R><a>1</a><b>2</b><a>3</a></R>"));
  EXPECT_FALSE(m.EnterChild()) << "no main position yet";
  EXPECT_FALSE(m.LeaveToParent());
  ASSERT_TRUE(m.FindChild("a"));
  EXPECT_EQ(m.TagName(), "R") << "the root became the main position";
  ASSERT_TRUE(m.FindChild("a"));
  EXPECT_FALSE(m.FindChild("a"));
  EXPECT_FALSE(m.FindChild("A")) << "names are case-sensitive";
  ASSERT_TRUE(m.EnterChild());
  EXPECT_EQ(m.TagName(), "a");
  EXPECT_EQ(m.ElementText(), "3") << "a failed FindChild left the child position on the second a";
  ASSERT_TRUE(m.LeaveToParent());
  EXPECT_EQ(m.TagName(), "R");
  EXPECT_FALSE(m.LeaveToParent());
  EXPECT_EQ(m.TagName(), "R");
  EXPECT_FALSE(m.FindChild(nullptr)) << "the child position is on the last child";
}

TEST(CMarkupNavigate, FindChildWithoutNameTakesEveryElement) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R><a/><b></b><c>x</c></R>"));
  std::string names;
  while (m.FindChild()) {
    m.EnterChild();
    names += m.TagName() + "=" + m.ElementText() + ";";
    m.LeaveToParent();
  }
  EXPECT_EQ(names, "a=;b=;c=x;");
}

TEST(CMarkupText, ReplacesTheFiveReferencesAndKeepsWhitespace) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R><t> a &amp; b </t><u>&lt;&gt;&apos;&quot;&copy;&amp;amp;&</u></R>"));
  ASSERT_TRUE(m.FindChild("t"));
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), " a & b ");
  m.LeaveToParent();
  ASSERT_TRUE(m.FindChild("u"));
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), "<>'\"&copy;&amp;&");
}

TEST(CMarkupText, CdataIsReturnedAsWritten) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R><c>\r\n <![CDATA[a&amp;<b>]]></c><d><![CDATA[x]]>tail</d></R>"));
  ASSERT_TRUE(m.FindChild("c"));
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), "a&amp;<b>");
  m.LeaveToParent();
  ASSERT_TRUE(m.FindChild("d"));
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), "x") << "text after the section is not part of it";
}

TEST(CMarkupText, ElementsWithChildrenEmptyElementsAndTheDocumentHaveNoText) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R>x<e/><f></f>y</R>"));
  EXPECT_EQ(m.ElementText(), "");
  ASSERT_TRUE(m.FindChild());
  EXPECT_EQ(m.ElementText(), "");
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), "");
  m.LeaveToParent();
  m.FindChild();
  m.EnterChild();
  EXPECT_EQ(m.ElementText(), "");
}

TEST(CMarkupAppend, EnteredElementGetsItsChildOnLinesOfItsOwn) {
  CMarkup m;
  m.SetDocument(kDeclaration);
  ASSERT_TRUE(m.AppendElement("A"));
  ASSERT_TRUE(m.EnterChild());
  ASSERT_TRUE(m.AppendElement("B", "x<y"));
  EXPECT_EQ(m.DocumentText(), std::string(kDeclaration) + "<A>\r\n<B>x&lt;y</B>\r\n</A>\r\n");
  EXPECT_EQ(m.ElementText(), "x<y");
}

TEST(CMarkupAppend, EmptyTextGivesTheEmptyElementForm) {
  CMarkup m;
  m.SetDocument(kDeclaration);
  m.AppendElement("A");
  m.EnterChild();
  m.AppendElement("B", "");
  m.AppendElement("C", "&\"'>");
  EXPECT_EQ(m.DocumentText(),
            std::string(kDeclaration) + "<A>\r\n<B/>\r\n<C>&amp;\"'&gt;</C>\r\n</A>\r\n");
}

TEST(CMarkupAppend, OpensAnEmptyParentAndSeparatesTouchingTags) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R><A /><B></B></R>"));
  m.FindChild("A");
  m.EnterChild();
  m.EnterChild();
  ASSERT_TRUE(m.AppendElement("x", "1"));
  m.LeaveToParent();
  m.LeaveToParent();
  m.FindChild("B");
  m.EnterChild();
  m.EnterChild();
  ASSERT_TRUE(m.AppendElement("y"));
  EXPECT_EQ(m.DocumentText(), "<R><A >\r\n<x>1</x>\r\n</A><B>\r\n<y/>\r\n</B></R>");
  CMarkup fresh;
  ASSERT_TRUE(fresh.SetDocument(m.DocumentText().c_str()));
  EXPECT_EQ(Describe(m), Describe(fresh));
}

TEST(CMarkupAppend, NewSiblingGoesAfterTheMainElementPastItsLineEnd) {
  CMarkup m;
  ASSERT_TRUE(m.SetDocument("<R>\r\n<a/>\r\n<c/>\r\n</R>\r\n"));
  m.FindChild("a");
  m.EnterChild();
  ASSERT_TRUE(m.AppendElement("b"));
  EXPECT_EQ(m.DocumentText(), "<R>\r\n<a/>\r\n<b/>\r\n<c/>\r\n</R>\r\n");
  m.LeaveToParent();
  ASSERT_TRUE(m.FindChild());
  m.EnterChild();
  EXPECT_EQ(m.TagName(), "c") << "leaving b keeps it as the child position";
}

TEST(CMarkupAppend, RefusesNamesThatAreNotOneToken) {
  CMarkup m;
  for (const char* name : {"", "a b", "a/b", "'a'", "a>", "a=b", "a?"}) {
    EXPECT_FALSE(m.AppendElement(name)) << name;
  }
  EXPECT_FALSE(m.AppendElement(nullptr));
  EXPECT_EQ(m.DocumentText(), "");
}

// Appending anywhere must leave the index exactly as parsing the resulting
// text would build it: offsets of following elements and of every enclosing
// end tag moved, links in document order.
TEST(CMarkupAppend, IndexMatchesAFreshParseAfterRandomAppends) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 40; ++round) {
    CMarkup m;
    m.SetDocument(round % 2 ? "<R/>" : "<?xml version=\"1.0\"?>\r\n<R>\r\n<k>&amp;</k></R>");
    for (int step = 0; step < 60; ++step) {
      switch (rng() % 5) {
        case 0: m.FindChild(); break;
        case 1: m.EnterChild(); break;
        case 2: m.LeaveToParent(); break;
        default: {
          static const char* kTexts[] = {nullptr, "", "v", "a<b&c>d", " sp "};
          const char* text = kTexts[rng() % 5];
          if (m.AppendElement(("n" + std::to_string(step)).c_str(), text) && text && *text) {
            EXPECT_EQ(m.ElementText(), text);
          }
        }
      }
    }
    CMarkup fresh;
    ASSERT_TRUE(fresh.SetDocument(m.DocumentText().c_str())) << fresh.ErrorText();
    ASSERT_EQ(Describe(m), Describe(fresh)) << m.DocumentText();
  }
}

TEST(CMarkupAppend, TextRoundTripsForAnyBytes) {
  std::mt19937 rng(7);
  CMarkup m;
  m.SetDocument("<R></R>");
  m.FindChild();
  m.EnterChild();
  for (int i = 0; i < 200; ++i) {
    std::string text;
    for (int n = rng() % 12 + 1; n > 0; --n) text += static_cast<char>(rng() % 255 + 1);
    ASSERT_TRUE(m.AppendElement("t", text.c_str()));
    ASSERT_EQ(m.ElementText(), text);
  }
}

}  // namespace
