// The MSXML backend of the XML layer: what a walk reports and in which order,
// the hardening (no DTD), bad files, and encodings the DOM must decode.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/xml.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

// Writes each event as one line: "<name", "@name=value", "'text", ">".
class Recorder : public platform::XmlVisitor {
 public:
  void OnElementStart(const std::wstring& name) override { events.push_back(L"<" + name); }
  void OnAttribute(const std::wstring& name, const std::wstring& value) override {
    events.push_back(L"@" + name + L"=" + value);
  }
  void OnText(const std::wstring& text) override { events.push_back(L"'" + text); }
  void OnElementEnd() override { events.push_back(L">"); }
  std::vector<std::wstring> events;
};

class XmlWinTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InitializeThreadComponents(); }

  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = dir_.File(name);
    EXPECT_TRUE(platform::WriteWholeFile(path, bytes));
    return path;
  }

  TempDir dir_;
};

TEST_F(XmlWinTest, WalkReportsElementsAttributesAndTextInDocumentOrder) {
  const std::wstring path = Write(L"order.xml",
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                  "<!-- before the root -->\r\n"
                                  "<LaunchData version=\"2\" kind=\"x\">\r\n"
                                  "  <LaunchBase>\r\n"
                                  "    <ProductType>1</ProductType>\r\n"
                                  "    <Empty/>\r\n"
                                  "    <CData><![CDATA[not reported]]></CData>\r\n"
                                  "    <?tavo instruction?>\r\n"
                                  "    <!-- inside -->\r\n"
                                  "  </LaunchBase>\r\n"
                                  "  <Mixed>one<Inner a=\"&lt;&amp;&#x3042;\">two</Inner>three</Mixed>\r\n"
                                  "  <Escaped>&lt;tag&gt; &amp; &quot;q&quot; &#26085;</Escaped>\r\n"
                                  "</LaunchData>\r\n"
                                  "<!-- after the root -->\r\n");
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.Load(path));
  Recorder recorder;
  ASSERT_TRUE(doc.Walk(&recorder));
  const std::vector<std::wstring> expected = {
      L"<LaunchData", L"@version=2", L"@kind=x",
      L"<LaunchBase",
      L"<ProductType", L"'1", L">",
      L"<Empty", L">",
      L"<CData", L">",
      L">",
      L"<Mixed", L"'one", L"<Inner", L"@a=<&あ", L"'two", L">", L"'three", L">",
      L"<Escaped", L"'<tag> & \"q\" 日", L">",
      L">",
  };
  EXPECT_EQ(expected, recorder.events);

  // A second walk of the same document reports the same.
  Recorder again;
  ASSERT_TRUE(doc.Walk(&again));
  EXPECT_EQ(expected, again.events);
}

TEST_F(XmlWinTest, AnyDocumentTypeDeclarationIsRefused) {
  const std::string documents[] = {
      "<?xml version=\"1.0\"?><!DOCTYPE Root><Root>x</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY e \"expanded\">]><Root>&e;</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ELEMENT Root (#PCDATA)>]><Root>x</Root>",
      // An external subset: must be neither fetched nor accepted.
      "<?xml version=\"1.0\"?><!DOCTYPE Root SYSTEM \"http://127.0.0.1:9/tavo.dtd\"><Root>x</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY ext SYSTEM \"file:///C:/windows/win.ini\">]>"
      "<Root>&ext;</Root>",
      // Entity expansion that would take the memory of the machine.
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<Root>&e;&e;&e;&e;</Root>",
  };
  int index = 0;
  for (const std::string& text : documents) {
    const std::wstring path = Write(L"dtd" + std::to_wstring(index++) + L".xml", text);
    platform::XmlDocument doc;
    platform::SetLastError(0);
    EXPECT_FALSE(doc.Load(path)) << text;
    EXPECT_EQ(platform::kErrorInvalidData, platform::LastError()) << text;
    Recorder recorder;
    EXPECT_FALSE(doc.Walk(&recorder));
    EXPECT_TRUE(recorder.events.empty());
  }
}

TEST_F(XmlWinTest, BadFilesDoNotLoad) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"unclosed", "<Root><A>1</Root>"},
      {"two roots", "<A/><B/>"},
      {"text only", "just text"},
      {"empty", ""},
      {"truncated", "<?xml version=\"1.0\"?><Root><A>1</A>"},
      {"bad utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root>\xff\xfe\xfd</Root>"},
      {"undeclared entity", "<Root>&nosuch;</Root>"},
  };
  for (const auto& c : cases) {
    const std::wstring path = Write(L"bad.xml", c.bytes);
    platform::XmlDocument doc;
    platform::SetLastError(0);
    EXPECT_FALSE(doc.Load(path)) << c.name;
    EXPECT_EQ(platform::kErrorInvalidData, platform::LastError()) << c.name;
  }

  platform::XmlDocument doc;
  EXPECT_FALSE(doc.Load(dir_.File(L"missing.xml")));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  EXPECT_FALSE(doc.Load(dir_.File(L"no\\such\\folder.xml")));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::LastError());
  EXPECT_FALSE(doc.Load(dir_.path()));
  EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
  // An address is not a file: nothing is fetched from the network.
  EXPECT_FALSE(doc.Load(L"http://127.0.0.1:9/SetupLauncherVer.xml"));
}

TEST_F(XmlWinTest, ShiftJisDeclaredFileIsDecoded) {
  // <設定 名前="値１">日本語のテキスト・ソフト</設定>, where "ソ" carries the byte 0x5C.
  const std::string bytes =
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
      "<\x90\xDD\x92\xE8 \x96\xBC\x91O=\x22\x92l\x82P\x22>\x93\xFA\x96{\x8C\xEA\x82\xCC\x83"
      "e\x83L\x83X\x83g\x81"
      "E\x83\x5C\x83t\x83g</\x90\xDD\x92\xE8>\r\n";
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.Load(Write(L"sjis.xml", bytes)));
  Recorder recorder;
  ASSERT_TRUE(doc.Walk(&recorder));
  const std::vector<std::wstring> expected = {L"<設定", L"@名前=値１", L"'日本語のテキスト・ソフト", L">"};
  EXPECT_EQ(expected, recorder.events);
}

TEST_F(XmlWinTest, LegacyEncodingsAreDecodedAndStillChecked) {
  // "日本" in Shift_JIS and in EUC-JP, with the declaration written in various ways.
  const struct {
    const char* name;
    std::string bytes;
    bool loads;
  } cases[] = {
      {"sjis single quotes", "<?xml version='1.0' encoding='shift_jis' ?><A>\x93\xFA\x96{</A>", true},
      {"sjis spaced", "<?xml version=\"1.0\" encoding = \"SHIFT_JIS\"?>\n<A>\x93\xFA\x96{</A>", true},
      {"windows-31j", "<?xml version=\"1.0\" encoding=\"Windows-31J\"?><A>\x93\xFA\x96{</A>", true},
      {"euc-jp", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><A>\xC6\xFC\xCB\xDC</A>", true},
      // A lead byte without its trail byte is not Shift_JIS.
      {"sjis broken", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><A>\x93</A>", false},
      {"sjis malformed", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><A>\x93\xFA\x96{</B>", false},
      {"sjis with DTD",
       "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><!DOCTYPE A [<!ENTITY e \"x\">]><A>&e;</A>", false},
  };
  for (const auto& c : cases) {
    platform::XmlDocument doc;
    platform::SetLastError(0);
    const bool loaded = doc.Load(Write(L"legacy.xml", c.bytes));
    EXPECT_EQ(c.loads, loaded) << c.name;
    if (!loaded) {
      EXPECT_EQ(platform::kErrorInvalidData, platform::LastError()) << c.name;
      continue;
    }
    Recorder recorder;
    ASSERT_TRUE(doc.Walk(&recorder)) << c.name;
    const std::vector<std::wstring> expected = {L"<A", L"'日本", L">"};
    EXPECT_EQ(expected, recorder.events) << c.name;
  }
}

TEST_F(XmlWinTest, Utf16FileWithByteOrderMarkIsDecoded) {
  const std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Notice>重要なお知らせ</Notice>";
  std::string bytes = "\xff\xfe";
  for (wchar_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.Load(Write(L"utf16.xml", bytes)));
  Recorder recorder;
  ASSERT_TRUE(doc.Walk(&recorder));
  const std::vector<std::wstring> expected = {L"<Notice", L"'重要なお知らせ", L">"};
  EXPECT_EQ(expected, recorder.events);
}

TEST_F(XmlWinTest, PathWithJapaneseFolderLoads) {
  ASSERT_TRUE(platform::CreateFolder(dir_.File(L"設定フォルダ")));
  const std::wstring path = Write(L"設定フォルダ\\SetupLauncherV2.xml", "<LaunchData><A>1</A></LaunchData>");
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.Load(path));
  Recorder recorder;
  ASSERT_TRUE(doc.Walk(&recorder));
  EXPECT_EQ(5u, recorder.events.size());
}

TEST_F(XmlWinTest, WalkWithoutALoadedDocumentFails) {
  platform::XmlDocument doc;
  Recorder recorder;
  EXPECT_FALSE(doc.Walk(&recorder));
  EXPECT_TRUE(recorder.events.empty());

  // A failed load after a good one leaves no document behind.
  ASSERT_TRUE(doc.Load(Write(L"good.xml", "<A>1</A>")));
  EXPECT_FALSE(doc.Load(Write(L"bad.xml", "<A>")));
  EXPECT_FALSE(doc.Walk(&recorder));
}

TEST_F(XmlWinTest, DeepNestingIsWalkedToTheEnd) {
  for (const int depth : {200, 20000}) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    text += "x";
    for (int i = 0; i < depth; ++i) text += "</a>";
    platform::XmlDocument doc;
    // A DOM may refuse extreme depth; whatever it accepts, the walk must finish.
    if (!doc.Load(Write(L"deep.xml", text))) {
      EXPECT_GT(depth, 256) << "a plain settings-file depth was refused";
      continue;
    }
    Recorder recorder;
    ASSERT_TRUE(doc.Walk(&recorder)) << depth;
    ASSERT_EQ(static_cast<size_t>(depth) * 2 + 1, recorder.events.size()) << depth;
    EXPECT_EQ(L"'x", recorder.events[depth]);
    EXPECT_EQ(L">", recorder.events.back());
  }
}

TEST_F(XmlWinTest, WorkerThreadReadsAfterInitialisingItself) {
  const std::wstring path = Write(L"thread.xml", "<SetupLauncherVer><LastVersion>2001</LastVersion></SetupLauncherVer>");
  bool loaded = false;
  std::vector<std::wstring> events;
  std::thread worker([&] {
    platform::InitializeThreadComponents();
    platform::XmlDocument doc;
    loaded = doc.Load(path);
    Recorder recorder;
    if (loaded && doc.Walk(&recorder)) events = recorder.events;
  });
  worker.join();
  EXPECT_TRUE(loaded);
  const std::vector<std::wstring> expected = {L"<SetupLauncherVer", L"<LastVersion", L"'2001", L">", L">"};
  EXPECT_EQ(expected, events);
}

}  // namespace
