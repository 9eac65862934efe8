#include <gtest/gtest.h>

#include "config/xml_config_reader.h"
#include "platform/com.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

class XmlConfigReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InitializeThreadComponents(); }
  // Loads the text (UTF-8 unless it says otherwise) into a fresh reader.
  bool LoadText(const std::string& xml) {
    path_ = dir_.File(L"file" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path_, xml);
    reader_ = std::make_unique<XmlConfigReader>();
    return reader_->Load(path_);
  }
  std::wstring Str(const std::wstring& key, int32_t* found, const std::wstring& def = L"DEF") {
    return reader_->GetString(key, def, found);
  }
  TempDir dir_;
  std::wstring path_;
  int n_ = 0;
  std::unique_ptr<XmlConfigReader> reader_;
};

const char kSettings[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- a comment before the root -->\n"
    "<LaunchData>root text<LaunchBase>\n"
    "  <ProductType>5</ProductType>\n"
    "  <Empty></Empty>\n"
    "  <Twice>first</Twice>\n"
    "  <Twice>second</Twice>\n"
    "  <Late/>\n"
    "  <Late>found later</Late>\n"
    "  <Digits>42abc</Digits>\n"
    "  <Letters>abc</Letters>\n"
    "  <Negative>  -17</Negative>\n"
    "  <Big>4294967295</Big>\n"
    "  <Cdata><![CDATA[hidden]]></Cdata>\n"
    "  <Escaped>a &amp; b &lt;c&gt;</Escaped>\n"
    "  <Pkg PackageName=\"Other AV\" Extra=\"1\">SOFTWARE\\Other</Pkg>\n"
    "  <Pkg PackageName=\"Second\">SOFTWARE\\Second</Pkg>\n"
    "</LaunchBase></LaunchData>\n";

TEST_F(XmlConfigReaderTest, KeyPathsFindTheFirstElementWithText) {
  ASSERT_TRUE(LoadText(kSettings));
  struct Row {
    const wchar_t* key;
    int32_t found;
    const wchar_t* value;
  } rows[] = {
      {L"LaunchData/LaunchBase/ProductType/", 1, L"5"},
      {L"LaunchData/LaunchBase/ProductType", 0, L"DEF"},   // no final slash never matches
      {L"launchdata/LaunchBase/ProductType/", 0, L"DEF"},  // case-sensitive
      {L"LaunchData/LaunchBase/Empty/", 0, L"DEF"},
      {L"LaunchData/LaunchBase/Twice/", 1, L"first"},
      {L"LaunchData/LaunchBase/Late/", 1, L"found later"},
      {L"LaunchData/", 1, L"root text"},
      {L"LaunchData/LaunchBase/Cdata/", 0, L"DEF"},
      {L"LaunchData/LaunchBase/Escaped/", 1, L"a & b <c>"},
      {L"LaunchData/LaunchBase/Missing/", 0, L"DEF"},
      {L"", 0, L"DEF"},
      {L"LaunchData/LaunchBase/Pkg/", 1, L"SOFTWARE\\Other"},
  };
  for (const auto& row : rows) {
    int32_t found = 99;
    EXPECT_EQ(std::wstring(row.value), Str(row.key, &found)) << platform::WideToUtf8(row.key);
    EXPECT_EQ(row.found, found) << platform::WideToUtf8(row.key);
  }
}

TEST_F(XmlConfigReaderTest, NumberConversions) {
  ASSERT_TRUE(LoadText(kSettings));
  int32_t found = 0;
  EXPECT_EQ(42, reader_->GetInt(L"LaunchData/LaunchBase/Digits/", 7, &found));
  EXPECT_EQ(1, found);
  // Letters only: found, so the default is not used.
  EXPECT_EQ(0, reader_->GetInt(L"LaunchData/LaunchBase/Letters/", 7, &found));
  EXPECT_EQ(1, found);
  EXPECT_EQ(-17, reader_->GetInt(L"LaunchData/LaunchBase/Negative/", 7, &found));
  EXPECT_EQ(7, reader_->GetInt(L"LaunchData/LaunchBase/Empty/", 7, &found));
  EXPECT_EQ(0, found);
  EXPECT_EQ(4294967295u, reader_->GetUInt(L"LaunchData/LaunchBase/Big/", 3, &found));
  EXPECT_EQ(3u, reader_->GetUInt(L"LaunchData/LaunchBase/Nope/", 3, &found));
  EXPECT_EQ(0, found);
}

TEST_F(XmlConfigReaderTest, AttributesOfTheFirstElementOfThePath) {
  ASSERT_TRUE(LoadText(kSettings));
  int32_t found = 0;
  EXPECT_EQ(L"Other AV", reader_->GetAttribute(L"LaunchData/LaunchBase/Pkg/", L"PackageName", &found));
  EXPECT_EQ(1, found);
  EXPECT_EQ(L"", reader_->GetAttribute(L"LaunchData/LaunchBase/Pkg/", L"packagename", &found));
  EXPECT_EQ(1, found);  // the element is there, the attribute is not
  EXPECT_EQ(L"", reader_->GetAttribute(L"LaunchData/LaunchBase/None/", L"PackageName", &found));
  EXPECT_EQ(0, found);
  // An element with no text still has attributes.
  ASSERT_TRUE(LoadText("<a><b n=\"v\"/></a>"));
  EXPECT_EQ(L"v", reader_->GetAttribute(L"a/b/", L"n", &found));
  EXPECT_EQ(1, found);
}

TEST_F(XmlConfigReaderTest, SecondLoadIsRefused) {
  ASSERT_TRUE(LoadText("<a><b>1</b></a>"));
  EXPECT_FALSE(reader_->Load(path_));
  int32_t found = 0;
  EXPECT_EQ(L"1", Str(L"a/b/", &found));
}

TEST_F(XmlConfigReaderTest, UnloadedReaderReportsDomFailure) {
  XmlConfigReader reader;
  int32_t found = 0;
  EXPECT_EQ(L"", reader.GetString(L"a/", L"DEF", &found));
  EXPECT_EQ(-1, found);
  EXPECT_EQ(9, reader.GetInt(L"a/", 9, &found));
  EXPECT_EQ(-1, found);
}

TEST_F(XmlConfigReaderTest, BadFilesDoNotLoad) {
  const std::string bad[] = {
      "",
      "   ",
      "<a><b>1</a>",
      "not xml at all",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xFF\xFE broken</a>",
      // Entity-expansion bomb: refused at its DTD, before anything expands.
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
      "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
      "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
      "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
      "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
      "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
      "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
      "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">"
      "]><a>&lol9;</a>",
      // External entity: never fetched, refused with its DTD.
      "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
      "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a>1</a>",
  };
  for (const auto& text : bad) {
    EXPECT_FALSE(LoadText(text)) << text.substr(0, 60);
    int32_t found = 0;
    reader_->GetString(L"a/", L"", &found);
    EXPECT_EQ(-1, found);
  }
  XmlConfigReader missing;
  EXPECT_FALSE(missing.Load(dir_.File(L"does-not-exist.xml")));
}

TEST_F(XmlConfigReaderTest, DeclaredEncodingDecidesAndShiftJisReadsLikeUtf8) {
  const std::string sjisTitle = "\x8F\x64\x97\x76\x82\xC8\x82\xA8\x92\x6D\x82\xE7\x82\xB9\x83\x65\x83\x58\x83\x67";
  const std::wstring title = L"重要なお知らせテスト";
  ASSERT_TRUE(LoadText("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><N><T>" + sjisTitle + "</T></N>"));
  int32_t found = 0;
  EXPECT_EQ(title, Str(L"N/T/", &found));
  ASSERT_TRUE(LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?><N><T>" + tavo_test::Utf8(title) + "</T></N>"));
  EXPECT_EQ(title, Str(L"N/T/", &found));
  // Shift_JIS bytes in a file that claims UTF-8 are not silently accepted.
  EXPECT_FALSE(LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?><N><T>" + sjisTitle + "</T></N>"));
  // UTF-16 with its byte-order mark.
  ASSERT_TRUE(LoadText("\xFF\xFE" + platform::WideToUtf16Le(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><N><T>" +
                                                           title + L"</T></N>")));
  EXPECT_EQ(title, Str(L"N/T/", &found));
}

TEST_F(XmlConfigReaderTest, HighestIndexedChildBoundsIndexedLists) {
  ASSERT_TRUE(LoadText(
      "<L><S><Name00>a</Name00><Name07>b</Name07><Name7x>c</Name7x><Name>d</Name>"
      "<Deep><Name99>e</Name99></Deep><Name123>f</Name123></S></L>"));
  EXPECT_EQ(123, reader_->HighestIndexedChild(L"L/S/", L"Name"));
  EXPECT_EQ(-1, reader_->HighestIndexedChild(L"L/S/", L"Other"));
  EXPECT_EQ(99, reader_->HighestIndexedChild(L"L/S/Deep/", L"Name"));
}

TEST_F(XmlConfigReaderTest, ThousandsOfEntriesReadThroughTheIndex) {
  std::string xml = "<D><P>";
  for (int i = 0; i < 5000; ++i) xml += "<E" + std::to_string(i) + ">" + std::to_string(i * 3) + "</E" + std::to_string(i) + ">";
  xml += "</P></D>";
  ASSERT_TRUE(LoadText(xml));
  int32_t found = 0;
  for (int i = 0; i < 5000; i += 499) {
    EXPECT_EQ(i * 3, reader_->GetInt(L"D/P/E" + std::to_wstring(i) + L"/", -1, &found));
    EXPECT_EQ(1, found);
  }
}

}  // namespace
