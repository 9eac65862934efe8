// The MSXML backend of the XML layer: what a walk reports and in which order, the hardening (no document type
// declaration of any kind), bad files, and the encodings the DOM must decode.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/xml.h"
#include "tests/support/temp_dir.h"

namespace {

using Events = std::vector<std::wstring>;

// Each event as one line: "<name", "@name=value", "'text", ">".
class Recorder : public platform::XmlVisitor {
 public:
  void OnElementStart(const std::wstring& name) override { events.push_back(L"<" + name); }
  void OnAttribute(const std::wstring& name, const std::wstring& value) override {
    events.push_back(L"@" + name + L"=" + value);
  }
  void OnText(const std::wstring& text) override { events.push_back(L"'" + text); }
  void OnElementEnd() override { events.push_back(L">"); }
  Events events;
};

class XmlWinTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::InitializeThreadComponents(); }
  // The walk of the file, or the error of a load that failed as "error:<n>".
  Events Walk(const std::string& bytes, const std::wstring& name = L"doc.xml") {
    const std::wstring path = dir_.File(name);
    EXPECT_TRUE(platform::WriteWholeFile(path, bytes));
    const Events fromFile = WalkPath(path);
    // The same bytes from memory parse alike, refusals included.
    platform::XmlDocument doc;
    Recorder recorder;
    platform::SetLastError(0);
    const bool walked = doc.LoadBytes(bytes, 1 << 20) && doc.Walk(&recorder);
    EXPECT_EQ(fromFile, walked ? recorder.events : Events{L"error:" + std::to_wstring(platform::LastError())}) << bytes;
    return fromFile;
  }
  static Events WalkPath(const std::wstring& path) {
    platform::XmlDocument doc;
    platform::SetLastError(0);
    if (!doc.Load(path, 1 << 20)) {
      const Events failed = {L"error:" + std::to_wstring(platform::LastError())};
      Recorder none;
      EXPECT_FALSE(doc.Walk(&none));  // nothing is left to walk
      return failed;
    }
    Recorder recorder;
    EXPECT_TRUE(doc.Walk(&recorder));
    return recorder.events;
  }
  tavo_test::TempDir dir_;
};

const Events kInvalid = {L"error:13"};

TEST_F(XmlWinTest, AnyDocumentTypeDeclarationAndEveryBadFileIsRefused) {
  const char* documents[] = {
      "<?xml version=\"1.0\"?><!DOCTYPE Root><Root>x</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY e \"expanded\">]><Root>&e;</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root SYSTEM \"http://127.0.0.1:9/tavo.dtd\"><Root>x</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE Root [<!ENTITY ext SYSTEM \"file:///C:/windows/win.ini\">]><Root>&ext;</Root>",
      "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><R>&d;&d;</R>",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><!DOCTYPE A [<!ENTITY e \"x\">]><A>&e;</A>",
      "<Root><A>1</Root>", "<A/><B/>", "just text", "", "<?xml version=\"1.0\"?><Root><A>1</A>",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Root>\xff\xfe\xfd</Root>", "<Root>&nosuch;</Root>",
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><A>\x93</A>",  // a lead byte without its trail byte
  };
  for (const char* text : documents) EXPECT_EQ(kInvalid, Walk(text)) << text;
  EXPECT_EQ((Events{L"error:2"}), WalkPath(dir_.File(L"missing.xml")));
  EXPECT_EQ((Events{L"error:3"}), WalkPath(dir_.File(L"no\\such\\folder.xml")));
  EXPECT_EQ((Events{L"error:5"}), WalkPath(dir_.path()));
  // An address is not a file: nothing is fetched from the network.
  EXPECT_EQ(0u, WalkPath(L"http://127.0.0.1:9/SetupLauncherVer.xml").front().find(L"error:"));
}

TEST_F(XmlWinTest, DeclaredEncodingsAreDecodedAndTheWalkKeepsDocumentOrder) {
  EXPECT_EQ((Events{L"<R", L"@v=2", L"<E", L">", L"<C", L">", L"<M", L"'one", L"<I", L"@a=<&あ", L"'two", L">", L"'three",
                    L">", L"'<t> & \"q\" 日", L">"}),
            Walk("<?xml version=\"1.0\"?>\r\n<!-- c --><R v=\"2\"><E/><C><![CDATA[not reported]]></C><?pi x?><!-- c -->\r\n"
                 "<M>one<I a=\"&lt;&amp;&#x3042;\">two</I>three</M>&lt;t&gt; &amp; &quot;q&quot; &#26085;</R>\r\n"));
  for (const std::string& bytes : {std::string("<?xml version='1.0' encoding='shift_jis' ?><A>\x93\xFA\x96{</A>"),
                                   std::string("<?xml version=\"1.0\" encoding=\"EUC-JP\"?><A>\xC6\xFC\xCB\xDC</A>")}) {
    EXPECT_EQ((Events{L"<A", L"'日本", L">"}), Walk(bytes)) << bytes;
  }
  // "ソ" carries the byte 0x5C, a backslash in ASCII; the path has a Japanese folder.
  ASSERT_TRUE(platform::CreateFolder(dir_.File(L"設定フォルダ")));
  EXPECT_EQ((Events{L"<設定", L"@名前=値", L"'ソフト", L">"}),
            Walk("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<\x90\xDD\x92\xE8 \x96\xBC\x91O=\"\x92l\">"
                 "\x83\x5C\x83t\x83g</\x90\xDD\x92\xE8>",
                 L"設定フォルダ\\SetupLauncherV2.xml"));
}

}  // namespace
