#include "xml/xml_text.h"

#include <gtest/gtest.h>

#include "xml/attr_list.h"

namespace ln40 {
namespace {

TEST(XmlText, Utf8ToCp1252TheLenientWay) {
  const struct {
    const char* name;
    std::string utf8;
    std::string cp1252;
  } cases[] = {
      {"ascii stays", "Ola Nordmann", "Ola Nordmann"},
      {"two-byte o-slash", "\xC3\xB8", "\xF8"},
      {"three-byte euro", "\xE2\x82\xAC", "\x80"},
      {"unassigned 0x81 maps to itself", "\xC2\x81", "\x81"},
      {"code point the code page lacks", "\xC4\x80", "\xBF"},
      {"continuation not checked",
       "\xC3"
       "A",
       "\xC1"},
      {"stray continuation byte",
       "a\x80"
       "b",
       "a\xBF"
       "b"},
      {"four-byte lead skips its three",
       "a\xF0\x9F\x98\x80"
       "b",
       "a\xBF"
       "b"},
      {"two-byte lead cut off at the end", "a\xC3", "a\xBF"},
      {"three-byte lead with one byte left", "a\xE2\x82", "a\xBF"},
      {"0xFF announces more bytes than there are",
       "\xFF"
       "ab",
       "\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out;
    xml::AppendUtf8AsCp1252(c.utf8, out);
    EXPECT_EQ(out, c.cp1252);
  }
}

TEST(XmlText, CharacterReferences) {
  const struct {
    const char* text;
    const char* hex;
    char expected;
  } cases[] = {
      {"248", "xX", '\xF8'},
      {"xF8", "xX", '\xF8'},
      {"XF8", "xX", '\xF8'},
      {"XF8", "x", ' '},   // attribute values know only the lower-case x
      {"xZZ", "x", '\0'},  // a hexadecimal number that does not read
      {"12a", "x", ' '},   // a decimal one that does not read
      {"", "xX", ' '},
      {"65", "x", 'A'},
      {"8364", "xX", '\x80'},      // beyond 255: the code page's euro sign
      {"269", "xX", '\xBF'},       // not the CR of its low 8 bits
      {"99999999999", "xX", ' '},  // beyond the 32-bit range
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(xml::CharacterReference(c.text, c.hex, ' ', '\0'), c.expected);
  }
}

TEST(XmlText, PackSpaceTrimsAndPacks) {
  std::string out;
  xml::PackSpace("\r\n  Ola \t\t Nordmann \n", out);
  EXPECT_EQ(out, "Ola Nordmann");
  xml::PackSpace(" \t\r\n", out);
  EXPECT_EQ(out, "");
}

TEST(AttrList, SortedByNameLaterDuplicatesFirst) {
  TAttrList list;
  list.Add("b", "2");
  list.Add("a", "1");
  list.Add("b", "3");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Name(0), "a");
  EXPECT_EQ(list.Value(1), "3");
  EXPECT_EQ(list.Value(2), "2");
  EXPECT_EQ(list.ValueOf("a"), "1");
  EXPECT_EQ(list.ValueOf("c"), "");
  EXPECT_EQ(list.Name(-1), "");
  EXPECT_EQ(list.Value(3), "");

  // Bulk filling gives the same order as adding one by one.
  TAttrList bulk;
  bulk.Append("b", "2");
  bulk.Append("a", "1");
  bulk.Append("b", "3");
  bulk.Sort();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bulk.Name(i), list.Name(i));
    EXPECT_EQ(bulk.Value(i), list.Value(i));
  }
}

}  // namespace
}  // namespace ln40
