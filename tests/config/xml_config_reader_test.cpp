#include <gtest/gtest.h>

#include "config/xml_config_reader.h"
#include "platform/com.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

class XmlConfigReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InitializeThreadComponents(); }
  // Loads the text (UTF-8 unless it says otherwise) into a fresh reader.
  bool Load(const std::string& xml) {
    path_ = dir_.File(L"file" + std::to_wstring(++n_) + L".xml");
    tavo_test::WriteBytes(path_, xml);
    reader_ = std::make_unique<XmlConfigReader>();
    return reader_->Load(path_);
  }
  tavo_test::TempDir dir_;
  std::wstring path_;
  int n_ = 0;
  std::unique_ptr<XmlConfigReader> reader_;
};

TEST_F(XmlConfigReaderTest, KeyPathsNumbersAttributesAndFoundStates) {
  ASSERT_TRUE(Load("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- comment -->\n<L>root<B>\n<T>5</T><Empty></Empty>"
                   "<Twice>first</Twice><Twice>second</Twice><Late/><Late>later</Late><Cdata><![CDATA[hidden]]></Cdata>"
                   "<Esc>a &amp; b &lt;c&gt;</Esc><Digits>42abc</Digits><Letters>abc</Letters><Neg>  -17</Neg>"
                   "<Big>4294967295</Big><Pkg Name=\"Other AV\">SOFTWARE\\Other</Pkg><NoText n=\"v\"/></B></L>"));
  const std::tuple<const wchar_t*, int32_t, const wchar_t*> strings[] = {
      {L"L/B/T/", 1, L"5"},     {L"L/B/T", 0, L"DEF"},  // no final slash never matches
      {L"l/B/T/", 0, L"DEF"},   {L"L/B/Empty/", 0, L"DEF"}, {L"L/B/Twice/", 1, L"first"}, {L"L/B/Late/", 1, L"later"},
      {L"L/", 1, L"root"},      {L"L/B/Cdata/", 0, L"DEF"}, {L"L/B/Esc/", 1, L"a & b <c>"}, {L"L/B/Missing/", 0, L"DEF"},
      {L"", 0, L"DEF"},         {L"L/B/Pkg/", 1, L"SOFTWARE\\Other"},
  };
  for (const auto& [key, found, value] : strings) {
    int32_t got = 99;
    EXPECT_EQ(std::wstring(value), reader_->GetString(key, L"DEF", &got)) << key;
    EXPECT_EQ(found, got) << key;
  }
  const std::tuple<const wchar_t*, int32_t, int32_t> ints[] = {
      {L"L/B/Digits/", 42, 1}, {L"L/B/Letters/", 0, 1}, {L"L/B/Neg/", -17, 1}, {L"L/B/Empty/", 7, 0}};
  for (const auto& [key, value, found] : ints) {
    int32_t got = 99;
    EXPECT_EQ(value, reader_->GetInt(key, 7, &got)) << key;
    EXPECT_EQ(found, got) << key;
  }
  int32_t found = 0;
  EXPECT_EQ(4294967295u, reader_->GetUInt(L"L/B/Big/", 3, &found));
  EXPECT_EQ(3u, reader_->GetUInt(L"L/B/Nope/", 3, &found));
  EXPECT_EQ(0, found);
  // Attributes come from the first element of the path, even one without text.
  const std::tuple<const wchar_t*, const wchar_t*, int32_t, const wchar_t*> attributes[] = {
      {L"L/B/Pkg/", L"Name", 1, L"Other AV"}, {L"L/B/Pkg/", L"name", 1, L""},  // the element is there, not the name
      {L"L/B/NoText/", L"n", 1, L"v"},        {L"L/B/None/", L"Name", 0, L""}};
  for (const auto& [key, name, found, value] : attributes) {
    int32_t got = 99;
    EXPECT_EQ(std::wstring(value), reader_->GetAttribute(key, name, &got)) << key << name;
    EXPECT_EQ(found, got) << key << name;
  }
}

TEST_F(XmlConfigReaderTest, BadHostileOrMissingFilesLeaveNoDocument) {
  std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE z [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    bomb += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += "&l" + std::to_string(i - 1) + ";";
    bomb += "\">";
  }
  const std::string bad[] = {
      "", "   ", "<a><b>1</a>", "not xml at all", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xFF\xFE broken</a>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\x8F\x64\x97\x76</a>",  // Shift_JIS bytes claiming UTF-8
      bomb + "]><a>&l9;</a>",  // refused at its DTD, before anything expands
      "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
      "<?xml version=\"1.0\"?><!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a>1</a>",
  };
  int32_t found = 0;
  for (const auto& text : bad) {
    EXPECT_FALSE(Load(text)) << text.substr(0, 60);
    reader_->GetString(L"a/", L"", &found);
    EXPECT_EQ(-1, found) << text.substr(0, 60);
  }
  XmlConfigReader unloaded;
  EXPECT_EQ(L"", unloaded.GetString(L"a/", L"DEF", &found));
  EXPECT_EQ(-1, found);
  EXPECT_EQ(9, unloaded.GetInt(L"a/", 9, &found));
  EXPECT_EQ(-1, found);
  EXPECT_FALSE(unloaded.Load(dir_.File(L"does-not-exist.xml")));
  // A second load is refused and keeps the first document.
  ASSERT_TRUE(Load("<a><b>1</b></a>"));
  EXPECT_FALSE(reader_->Load(path_));
  EXPECT_EQ(L"1", reader_->GetString(L"a/b/", L"", &found));
}

TEST_F(XmlConfigReaderTest, DeclaredEncodingDecidesAndIndexedListsAreBounded) {
  const std::wstring title = L"重要なお知らせテスト";
  const std::string sjis = "\x8F\x64\x97\x76\x82\xC8\x82\xA8\x92\x6D\x82\xE7\x82\xB9\x83\x65\x83\x58\x83\x67";
  for (const auto& text : {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><N><T>" + sjis + "</T></N>",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><N><T>" + tavo_test::Utf8(title) + "</T></N>",
                           "\xFF\xFE" + platform::WideToUtf16Le(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><N><T>" +
                                                               title + L"</T></N>")}) {
    ASSERT_TRUE(Load(text));
    int32_t found = 0;
    EXPECT_EQ(title, reader_->GetString(L"N/T/", L"", &found));
  }
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "<E" + std::to_string(i) + ">" + std::to_string(i * 3) + "</E" + std::to_string(i) + ">";
  ASSERT_TRUE(Load("<L><S><Name00>a</Name00><Name07>b</Name07><Name7x>c</Name7x><Name>d</Name><Deep><Name99>e</Name99>"
                   "</Deep><Name123>f</Name123></S><P>" + many + "</P></L>"));
  EXPECT_EQ(123, reader_->HighestIndexedChild(L"L/S/", L"Name"));
  EXPECT_EQ(-1, reader_->HighestIndexedChild(L"L/S/", L"Other"));
  EXPECT_EQ(99, reader_->HighestIndexedChild(L"L/S/Deep/", L"Name"));
  EXPECT_EQ(2999, reader_->HighestIndexedChild(L"L/P/", L"E"));
  int32_t found = 0;
  for (int i = 1; i < 3000; i += 499) EXPECT_EQ(i * 3, reader_->GetInt(L"L/P/E" + std::to_wstring(i) + L"/", -1, &found));
}

}  // namespace
