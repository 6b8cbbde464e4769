#include "xml/xml_scanner.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ln40 {
namespace {

namespace fs = std::filesystem;

std::string Describe(const TAttrList& attributes) {
  if (attributes.Count() == 0) return "";
  std::string text = "[";
  for (int i = 0; i < attributes.Count(); ++i) {
    if (i > 0) text += ",";
    text += attributes.Name(i) + "=" + attributes.Value(i);
  }
  return text + "]";
}

// Writes every event of a scanner into one line: "start:a[x=1]|content:text|end:a".
struct Recorder {
  std::vector<std::string> events;

  explicit Recorder(TXmlScanner& scanner) {
    scanner.OnStartTag = [this](const std::string& name, const TAttrList& a) { Add("start:" + name + Describe(a)); };
    scanner.OnEmptyTag = [this](const std::string& name, const TAttrList& a) { Add("empty:" + name + Describe(a)); };
    scanner.OnEndTag = [this](const std::string& name) { Add("end:" + name); };
    scanner.OnContent = [this](const std::string& text) { Add("content:" + text); };
    scanner.OnCData = [this](const std::string& text) { Add("cdata:" + text); };
    scanner.OnComment = [this](const std::string& text) { Add("comment:" + text); };
    scanner.OnPI = [this](const std::string& target, const std::string& content, const TAttrList& a) {
      Add("pi:" + target + ":" + content + Describe(a));
    };
    scanner.OnXmlProlog = [this](const std::string& version, const std::string& encoding, bool standalone) {
      Add("prolog:" + version + "," + encoding + (standalone ? ",standalone" : ""));
    };
    scanner.OnDtdRead = [this](const std::string& root) { Add("dtd:" + root); };
  }
  void Add(const std::string& event) { events.push_back(event); }
  std::string Line() const {
    std::string line;
    for (const std::string& event : events) line += (line.empty() ? "" : "|") + event;
    return line;
  }
};

std::string Scan(std::string_view document, bool normalize = true) {
  TXmlScanner scanner;
  Recorder recorder(scanner);
  scanner.LoadFromText(document);
  scanner.SetNormalize(normalize);
  scanner.Execute();
  return recorder.Line();
}

const char* const kUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

TEST(XmlScanner, Parts) {
  const struct {
    const char* name;
    std::string document;
    std::string events;
  } cases[] = {
      {"white space around content and between tags", "<a>\n  <Given>\n    Ola   \n  </Given>\n</a>",
       "start:a|start:Given|content:Ola|end:Given|end:a"},
      {"inner white space packed", "<a> Ola \t\r\n Nordmann </a>", "start:a|content:Ola Nordmann|end:a"},
      {"UTF-8 o-slash, its reference, the euro sign", std::string(kUtf8) + "<a>\xC3\xB8|&#248;|\xE2\x82\xAC</a>",
       "prolog:1.0,UTF-8|start:a|content:\xF8|\xF8|\x80|end:a"},
      {"no declaration: bytes as they are", "<a>\xC3\xB8</a>", "start:a|content:\xC3\xB8|end:a"},
      {"declaration without encoding means UTF-8", "<?xml version=\"1.0\"?><a>\xC3\xB8</a>",
       "prolog:1.0,UTF-8|start:a|content:\xF8|end:a"},
      {"another encoding is not converted",
       "<?xml version='1.0' encoding='iso-8859-1' standalone='yes'?><a>\xC3\xB8</a>",
       "prolog:1.0,ISO-8859-1,standalone|start:a|content:\xC3\xB8|end:a"},
      {"lt, b, gt", "<a>&lt;b&gt;</a>", "start:a|content:<b>|end:a"},
      {"AT&T without a semicolon", "<a>AT&T</a>", "start:a|content:ATT|end:a"},
      {"predefined and character references", "<a>&amp;&apos;&quot;&#65;&#x42;&#X43;&#zz;.</a>",
       "start:a|content:&'\"ABC .|end:a"},
      {"unknown entity gives its name", "<a>x&nbsp;y</a>", "start:a|content:xnbspy|end:a"},
      {"attribute order", "<x b=\"2\" a=\"1\"/>", "empty:x[a=1,b=2]"},
      {"empty-element tag", "<x/>", "empty:x"},
      {"start tag then end tag", "<x></x>", "start:x|end:x"},
      {"a comment cuts content", "<a>ab<!-- c -->de</a>", "start:a|content:ab|comment:<!-- c -->|content:de|end:a"},
      {"CDATA is delivered as written", "<a><![CDATA[<b>&amp;]]></a>", "start:a|cdata:<b>&amp;|end:a"},
      {"processing instruction", "<?target some=\"1\" other='2'?><a/>",
       "pi:target:some=\"1\" other='2'[other=2,some=1]|empty:a"},
      {"document type declaration", "<!DOCTYPE EntryList><a/>", "dtd:EntryList|empty:a"},
      {"attribute values: references and white space",
       "<x v=\"a&lt;&amp;&#66;&#x43;&#X44;&#xZZ;&unknown;\tb\r\nc  d\"/>",
       std::string("empty:x[v=a<&BC ") + '\0' + "&unknown; b  c  d]"},
      {"an ampersand without semicolon stays in a value", "<x v='AT&T'/>", "empty:x[v=AT&T]"},
      {"a replaced reference is not read again", "<x v='&amp;#65;&amp;lt;'/>", "empty:x[v=&#65;&lt;]"},
      {"a character reference in a UTF-8 value stays its byte", std::string(kUtf8) + "<x v='&#248;\xC3\xB8'/>",
       "prolog:1.0,UTF-8|empty:x[v=\xF8\xF8]"},
      {"attribute without a value is left out", "<x a b>t</x>", "start:x|content:t|end:x"},
      {"single and double quotes", "<x a='say \"hi\"' b=\"it's\"/>", "empty:x[a=say \"hi\",b=it's]"},
      {"a duplicate attribute: the later one first", "<x a=\"1\" a=\"2\"/>", "empty:x[a=2,a=1]"},
      {"unquoted attribute ends the tag", "<x a=1>t</x>", "start:x|content:t|end:x"},
      {"white space in tags", "<x\n\ta = \"1\"\n/>", "empty:x[a=1]"},
      {"end tags need not match", "<a></b></a></a>", "start:a|end:b|end:a|end:a"},
      {"missing closing delimiters run to the end", "<a>text<!-- never closed",
       "start:a|content:text|comment:<!-- never closed"},
      {"an open attribute value runs to the end", "<x a=\"1><y/>", "start:x[a=1><y/>]"},
      {"an unclosed tag", "<x a=\"1\"", "start:x[a=1]"},
      {"a lone angle bracket at the end", "text<", "content:text|start:"},
      {"the character after < is always taken", "<>a</x>", "empty:>a<"},
      {"<?xml without a blank after it is a processing instruction", "<?xml-stylesheet href='s'?>",
       "pi:xml-stylesheet:href='s'[href=s]"},
      {"a stray ampersand does not swallow markup", "<F>Smith & Sons</F><G>Ola</G><x>a;</x>",
       "start:F|content:Smith Sons|end:F|start:G|content:Ola|end:G|start:x|content:a;|end:x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Scan(c.document), c.events);
  }
}

TEST(XmlScanner, NormalizeOffDeliversContentAsCollected) {
  EXPECT_EQ(Scan("<a>\n Ola \n</a> <b/>", false), "start:a|content:\n Ola \n|end:a|content: |empty:b");
}

TEST(XmlScanner, DocumentEndsAtTheFirstNulByte) {
  EXPECT_EQ(Scan(std::string("<a>x</a>\0<b/>", 13)), "start:a|content:x|end:a");
}

TEST(XmlScanner, AttributeListIsReadByIndex) {
  TXmlScanner scanner;
  std::string first_name;
  std::string by_name;
  int count = -1;
  scanner.OnEmptyTag = [&](const std::string&, const TAttrList& a) {
    count = a.Count();
    first_name = a.Name(0);
    by_name = a.ValueOf("sex");
  };
  scanner.LoadFromText("<Person sex=\"F\" clubName=\"IL Nor\"/>");
  scanner.Execute();
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first_name, "clubName");
  EXPECT_EQ(by_name, "F");
}

TEST(XmlScanner, CurrentEncodingSurvivesTheNextDocument) {
  TXmlScanner scanner;
  Recorder recorder(scanner);
  EXPECT_EQ(scanner.CurrentEncoding(), "");
  scanner.LoadFromText(std::string(kUtf8) + "<a/>");
  scanner.Execute();
  scanner.LoadFromText("<b>\xC3\xB8</b>");  // no declaration of its own
  scanner.Execute();
  EXPECT_EQ(scanner.CurrentEncoding(), "UTF-8");
  EXPECT_EQ(recorder.events.back(), "end:b");
  EXPECT_EQ(recorder.events[recorder.events.size() - 2], "content:\xF8");
}

TEST(XmlScanner, ExecuteScansTheSameDocumentAgain) {
  TXmlScanner scanner;
  Recorder recorder(scanner);
  scanner.LoadFromText("<!DOCTYPE r [<!ENTITY e 'x'>]><r>&e;</r>");
  scanner.Execute();
  const std::string once = recorder.Line();
  scanner.Execute();
  EXPECT_EQ(recorder.Line(), once + "|" + once);
}

TEST(XmlScanner, HandlerExceptionEndsTheScan) {
  TXmlScanner scanner;
  int tags = 0;
  scanner.OnStartTag = [&](const std::string& name, const TAttrList&) {
    ++tags;
    if (name == "stop") throw std::runtime_error("stopped");
  };
  scanner.LoadFromText("<a><stop><b>");
  EXPECT_THROW(scanner.Execute(), std::runtime_error);
  EXPECT_EQ(tags, 2);
}

TEST(XmlScanner, TranslateEncodingReplacesTheConversion) {
  TXmlScanner scanner;
  Recorder recorder(scanner);
  scanner.OnTranslateEncoding = [](const std::string& encoding, std::string_view text) {
    return encoding + ":" + std::string(text);
  };
  scanner.LoadFromText(std::string(kUtf8) + "<a v='x'>y&amp;z</a>");
  scanner.Execute();
  EXPECT_EQ(recorder.Line(), "prolog:1.0,UTF-8|start:a[v=UTF-8:x]|content:UTF-8:y&UTF-8:z|end:a");
}

TEST(XmlScanner, InternalSubsetDeclarations) {
  const struct {
    const char* name;
    std::string document;
    std::string events;
  } cases[] = {
      {"entity in content", "<!DOCTYPE r [<!ENTITY club \"IL &#216;st\">]><r>&club;</r>",
       "dtd:r|start:r|content:IL \xD8st|end:r"},
      {"entity text joins the content around it", "<!DOCTYPE r [<!ENTITY e 'mid'>]><r>a&e;b</r>",
       "dtd:r|start:r|content:amidb|end:r"},
      {"markup in an entity gives its own parts", "<!DOCTYPE r [<!ENTITY e '<b>x</b>'>]><r>a&e;c</r>",
       "dtd:r|start:r|content:a|start:b|content:x|end:b|content:c|end:r"},
      {"entity in an attribute value", "<!DOCTYPE r [<!ENTITY c 'Nor'><!ENTITY n 'IL &c;'>]><r a='&n;!'/>",
       "dtd:r|empty:r[a=IL Nor!]"},
      {"attribute default", "<!DOCTYPE r [<!ATTLIST p sex CDATA \"F\" club CDATA #IMPLIED>]><p/><p sex='M'/>",
       "dtd:r|empty:p[sex=F]|empty:p[sex=M]"},
      {"non-CDATA attribute values are packed",
       "<!DOCTYPE r [<!ATTLIST p id ID #IMPLIED kind (a|b) 'a'>]><p id=' x \t y ' note=' x  y '/>",
       "dtd:r|empty:p[id=x y,kind=a,note= x  y ]"},
      {"fixed default", "<!DOCTYPE r [<!ATTLIST p v CDATA #FIXED 'one'>]><p/>", "dtd:r|empty:p[v=one]"},
      {"parameter entities",
       "<!DOCTYPE r [<!ENTITY % t 'CDATA'><!ENTITY % d '<!ENTITY e \"pe\">'>%d;<!ATTLIST p a %t; 'x'>]><p>&e;</p>",
       "dtd:r|start:p[a=x]|content:pe|end:p"},
      {"the first declaration binds", "<!DOCTYPE r [<!ENTITY e 'one'><!ENTITY e 'two'>]><r>&e;</r>",
       "dtd:r|start:r|content:one|end:r"},
      {"predefined names win over declarations", "<!DOCTYPE r [<!ENTITY lt 'no'>]><r>&lt;</r>",
       "dtd:r|start:r|content:<|end:r"},
      {"comments and brackets in the subset", "<!DOCTYPE r [<!-- ] > --><!ENTITY e 'a]b>c'>]><r>&e;</r>",
       "dtd:r|start:r|content:a]b>c|end:r"},
      {"an unclosed subset runs to the end", "<!DOCTYPE r [<!ENTITY e 'x'><r>", "dtd:r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Scan(c.document), c.events);
  }
}

// Entity expansion is bounded: self-reference, mutual reference and exponential growth end
// in a reference left as written, and the scan goes on.
TEST(XmlScanner, EntityExpansionIsBounded) {
  const std::string laughs =
      "<!DOCTYPE r [<!ENTITY l0 'ha'>"
      "<!ENTITY l1 '&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;'>"
      "<!ENTITY l2 '&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;'>"
      "<!ENTITY l3 '&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;&l2;'>"
      "<!ENTITY l4 '&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;&l3;'>"
      "<!ENTITY l5 '&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;&l4;'>"
      "<!ENTITY l6 '&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;&l5;'>"
      "<!ENTITY l7 '&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;&l6;'>"
      "<!ENTITY l8 '&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;&l7;'>"
      "<!ENTITY l9 '&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;&l8;'>]>";
  const struct {
    const char* name;
    std::string document;
    std::string left_as_written;
  } cases[] = {
      {"self-reference in content", "<!DOCTYPE r [<!ENTITY a 'x&a;'>]><r>&a;</r><after/>", "&a;"},
      {"mutual reference", "<!DOCTYPE r [<!ENTITY a '&b;'><!ENTITY b '&a;'>]><r>&a;</r><after/>", "&"},
      {"self-reference in an attribute", "<!DOCTYPE r [<!ENTITY a 'x&a;'>]><r v='&a;'/><after/>", "&a;"},
      {"self-reference in a default", "<!DOCTYPE r [<!ENTITY a 'x&a;'><!ATTLIST r v CDATA '&a;'>]><r/><after/>", "&a;"},
      {"parameter entity referring to itself",
       "<!DOCTYPE r [<!ENTITY % p '%p;'>%p;<!ENTITY % q 'x %q;'><!ENTITY e '%q;'>]><r/><after/>", ""},
      {"billion laughs in content", laughs + "<r>&l9;</r><after/>", "&l"},
      {"billion laughs in an attribute", laughs + "<r v='&l9;'/><after/>", "&l"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TXmlScanner scanner;
    size_t longest = 0;
    std::string texts;
    bool after = false;
    scanner.OnContent = [&](const std::string& text) {
      longest = std::max(longest, text.size());
      texts += text;
    };
    scanner.OnStartTag = scanner.OnEmptyTag = [&](const std::string& name, const TAttrList& a) {
      after = after || name == "after";
      for (int i = 0; i < a.Count(); ++i) {
        longest = std::max(longest, a.Value(i).size());
        texts += a.Value(i);
      }
    };
    scanner.LoadFromText(c.document);
    scanner.Execute();
    EXPECT_TRUE(after) << "the scan went on after the reference";
    EXPECT_GT(scanner.RefusedExpansions(), 0);
    EXPECT_LE(longest, scanner.GetLimits().max_expansion_bytes + 100);
    EXPECT_NE(texts.find(c.left_as_written), std::string::npos);
  }
}

TEST(XmlScanner, LimitsCanBeTightened) {
  TXmlScanner scanner;
  TXmlScanner::Limits limits;
  limits.max_entity_depth = 1;
  scanner.SetLimits(limits);
  std::string content;
  scanner.OnContent = [&](const std::string& text) { content = text; };
  scanner.LoadFromText("<!DOCTYPE r [<!ENTITY a 'A'><!ENTITY b '[&a;]'>]><r>&a;&b;</r>");
  scanner.Execute();
  EXPECT_EQ(content, "A[&a;]");  // one level deep is allowed, the second is not
  EXPECT_EQ(scanner.RefusedExpansions(), 1);
}

class XmlScannerFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("xml_scanner_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "sub");
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::string ScanFile(const std::string& path) {
    TXmlScanner scanner;
    Recorder recorder(scanner);
    scanner.SetFilename(path);
    scanner.Execute();
    return recorder.Line();
  }
  fs::path folder_;
};

TEST_F(XmlScannerFiles, LoadsAFileWholeUpToItsNulByte) {
  const std::string path = Write("doc.xml", std::string("<a>x</a>\0<b/>", 13));
  TXmlScanner scanner;
  Recorder recorder(scanner);
  scanner.SetNormalize(false);
  scanner.SetFilename(path);
  EXPECT_TRUE(scanner.Normalize());  // loading switches it on again
  EXPECT_EQ(scanner.Filename(), path);
  scanner.Execute();
  EXPECT_EQ(recorder.Line(), "start:a|content:x|end:a");
}

TEST_F(XmlScannerFiles, UnreadableFileGivesNoEvents) {
  EXPECT_EQ(ScanFile((folder_ / "missing.xml").string()), "");
  EXPECT_EQ(ScanFile(folder_.string()), "");  // a folder
}

TEST_F(XmlScannerFiles, ExternalSubsetAndEntitiesRelativeToTheDocument) {
  Write("sub/ext.dtd", "<!ENTITY club 'IL Nor'><!ENTITY % more SYSTEM 'sub/more.dtd'>%more;<!ATTLIST p sex CDATA 'F'>");
  Write("sub/more.dtd", "<!ENTITY town 'Oslo'>");
  Write("part.xml", "<b>&club;</b>");
  const std::string doc = Write("doc.xml",
                                "<!DOCTYPE r SYSTEM \"sub\\ext.dtd\" [<!ENTITY part SYSTEM 'part.xml'>"
                                "<!ENTITY gone SYSTEM 'missing.xml'>]>"
                                "<r><p/>&club;,&town;&part;&gone;.</r>");
  EXPECT_EQ(ScanFile(doc),
            "dtd:r|start:r|empty:p[sex=F]|content:IL Nor,Oslo|start:b|content:IL Nor|end:b|content:.|end:r");
}

TEST_F(XmlScannerFiles, ExternalEntityThatIncludesItself) {
  Write("self.xml", "x&self;");
  const std::string doc = Write("doc.xml", "<!DOCTYPE r [<!ENTITY self SYSTEM 'self.xml'>]><r>&self;</r><after/>");
  const std::string events = ScanFile(doc);
  EXPECT_NE(events.find("&self;"), std::string::npos);
  EXPECT_NE(events.find("empty:after"), std::string::npos);
}

TEST_F(XmlScannerFiles, DevicesAndFoldersAreNotReadAsExternalText) {
  const std::string doc = Write("doc.xml",
                                "<!DOCTYPE r SYSTEM '/dev/zero' [<!ENTITY z SYSTEM '/dev/zero'>"
                                "<!ENTITY d SYSTEM 'sub'>]><r>a&z;&d;b</r>");
  EXPECT_EQ(ScanFile(doc), "dtd:r|start:r|content:ab|end:r");
}

TEST_F(XmlScannerFiles, UnreadableFileSaysWhy) {
  TXmlScanner scanner;
  scanner.SetFilename(folder_.string());
  EXPECT_EQ(scanner.LoadProblem(), "it is a folder");
  scanner.SetFilename("/dev/null");
  EXPECT_EQ(scanner.LoadProblem(), "it is a character device, not a regular file");
  const std::string fifo = (folder_ / "pipe.xml").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  scanner.SetFilename(fifo);  // no writer: reading it would wait for ever
  EXPECT_EQ(scanner.LoadProblem(), "it is a named pipe (FIFO), not a regular file");
  scanner.SetFilename(Write("doc.xml", "<a/>"));
  EXPECT_EQ(scanner.LoadProblem(), "");
}

// External text comes only from regular files inside the document's folder: whatever leads
// out of it or is no plain file is refused, reported, and adds nothing.
TEST_F(XmlScannerFiles, ExternalEntitiesOutsideTheFolderAreRefused) {
  fs::create_directories(folder_ / "doc" / "sub");
  fs::create_directories(folder_ / "secret");
  Write("secret/id_rsa", "KEY");
  Write("doc/sub/ok.txt", "fine");
  fs::create_symlink(folder_ / "secret" / "id_rsa", folder_ / "doc" / "link.txt");
  fs::create_symlink("sub", folder_ / "doc" / "inside");  // a link, even one that stays inside
  fs::create_symlink(folder_ / "secret", folder_ / "doc" / "away");
  ASSERT_EQ(::mkfifo((folder_ / "doc" / "pipe").c_str(), 0600), 0);
  {
    std::ofstream big(folder_ / "doc" / "big.txt", std::ios::binary);
    big.seekp((std::streamoff{1} << 20));
    big.put('x');  // 1 MB and one byte, sparse
  }

  struct Case {
    const char* system_id;
    const char* reason;  // "" when read; nullptr when not there, with no report
  };
  const Case cases[] = {
      {"sub/ok.txt", ""},
      {"sub\\ok.txt", ""},
      {"./sub/./ok.txt", ""},
      {"missing.txt", nullptr},
      {"/proc/version", "it is an absolute path, outside the document's folder"},
      {"\\\\server\\share\\x", "it is an absolute path, outside the document's folder"},
      {"C:\\x.txt", "it is an absolute path, outside the document's folder"},
      {"../secret/id_rsa", "it leads out of the folder with \"..\""},
      {"sub/../../secret/id_rsa", "it leads out of the folder with \"..\""},
      {"link.txt", "it is a symbolic link"},
      {"away/id_rsa", "it passes through a symbolic link"},
      {"inside/ok.txt", "it passes through a symbolic link"},
      {"sub", "it is a folder"},
      {"pipe", "it is a named pipe (FIFO), not a regular file"},
      {"big.txt", "it is larger than 1 MB"},
  };
  for (const Case& c : cases) {
    TXmlScanner scanner;
    Recorder recorder(scanner);
    std::vector<std::string> refused;
    scanner.OnExternalRefused = [&](const std::string& what, const std::string& id, const std::string& reason) {
      refused.push_back(what + "|" + id + "|" + reason);
    };
    scanner.SetFilename(
        Write("doc/doc.xml", "<!DOCTYPE r [<!ENTITY e SYSTEM '" + std::string(c.system_id) + "'>]><r>[&e;]</r>"));
    scanner.Execute();
    const bool read = c.reason != nullptr && *c.reason == '\0';
    EXPECT_EQ(recorder.Line(), read ? "dtd:r|start:r|content:[fine]|end:r" : "dtd:r|start:r|content:[]|end:r")
        << c.system_id;
    const std::vector<std::string> expected =
        c.reason == nullptr || read ? std::vector<std::string>{}
                                    : std::vector<std::string>{"entity \"e\"|" + std::string(c.system_id) + "|" + c.reason};
    EXPECT_EQ(refused, expected) << c.system_id;
  }
}

TEST_F(XmlScannerFiles, RefusedSubsetAndParameterEntityAreNamed) {
  std::vector<std::string> refused;
  TXmlScanner scanner;
  scanner.OnExternalRefused = [&](const std::string& what, const std::string& id, const std::string&) {
    refused.push_back(what + "|" + id);
  };
  scanner.LoadFromText("<!DOCTYPE r SYSTEM '/etc/x.dtd' [<!ENTITY % p SYSTEM '../p.dtd'>%p;]><r/>",
                       folder_.string());
  scanner.Execute();
  EXPECT_EQ(refused, (std::vector<std::string>{"parameter entity \"p\"|../p.dtd", "external subset of \"r\"|/etc/x.dtd"}));

  refused.clear();
  scanner.LoadFromText("<!DOCTYPE r [<!ENTITY e SYSTEM 'e.txt'>]><r>&e;</r>");  // no folder
  scanner.Execute();
  EXPECT_EQ(refused, std::vector<std::string>{"entity \"e\"|e.txt"});
}

TEST_F(XmlScannerFiles, LoadExternalEventSuppliesTheText) {
  TXmlScanner scanner;
  Recorder recorder(scanner);
  std::vector<std::string> asked;
  scanner.OnLoadExternal = [&](const std::string& system_id, const std::string& public_id, std::string& text) {
    asked.push_back(public_id + "|" + system_id);
    if (system_id != "given.dtd") return false;
    text = "<!ENTITY e 'supplied'>";
    return true;
  };
  scanner.LoadFromText("<!DOCTYPE r PUBLIC '-//X//EN' 'given.dtd'><r>&e;</r>", folder_.string());
  scanner.Execute();
  EXPECT_EQ(recorder.Line(), "dtd:r|start:r|content:supplied|end:r");
  EXPECT_EQ(asked, std::vector<std::string>{"-//X//EN|given.dtd"});
}

}  // namespace
}  // namespace ln40
