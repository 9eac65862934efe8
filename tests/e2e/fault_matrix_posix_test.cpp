// The fault matrix: one whole run of the real Setup.exe per fault of the
// network, of the launcher's files and of the machine. Each row says what the
// user must see (the page the run ends on, or the error box) and the key log
// lines; every row also checks that nothing is lost: the debug log of an
// earlier run is kept and the log stays whole, the files beside the launcher
// are untouched, and a good file that a failed download would have replaced
// is still there.
//
// Rows finish in a few seconds each. The only slow fault, a server that stops
// answering, is shown on the version file: its fetch gives up after 10 s,
// where every other download waits 180 s (a row that long would not fit in
// the test run). A body that breaks off mid-way is the truncated rows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/paths.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/e2e/e2e_test_base.h"

namespace tavo_test {
namespace {

// --- building faulty files ------------------------------------------------------

// The same text cut off in the middle: not well-formed.
std::string CutInHalf(const std::string& xml) { return xml.substr(0, xml.size() / 2); }

// "ウイルス" in Shift_JIS: bytes that are no UTF-8, in a file that says it is UTF-8.
const char kShiftJisBytes[] = "\x83\x45\x83\x43\x83\x8b\x83\x58";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// A billion-laughs document type in front of the root element, and a
// reference to its biggest entity as the first child of the root.
std::string WithEntityBomb(const std::string& xml, const std::string& root) {
  std::string doctype = "<!DOCTYPE " + root + " [\n  <!ENTITY lol0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    doctype += "  <!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doctype += "&lol" + std::to_string(i - 1) + ";";
    doctype += "\">\n";
  }
  doctype += "]>\n";
  std::string out = xml;
  const size_t rootAt = out.find("<" + root + ">");
  out.insert(rootAt + root.size() + 2, "<Bomb>&lol9;</Bomb>");
  out.insert(rootAt, doctype);
  return out;
}

const char kLogSeed[] = "[2026/01/01 09:00:00.000] [情報] [前回の実行の記録です。]\r\n";

// A package text padded with comment lines to the given size.
std::string PaddedPackage(const std::string& text, size_t bytes) {
  std::string out = text;
  while (out.size() + 64 < bytes) out += "# " + std::string(60, 'x') + "\n";
  out += std::string(bytes - out.size() - 1, '#') + "\n";
  return out;
}

std::string GoodPackageText() { return SimPackage("TAVO Net Shield", "10.0.2032.10", {"ExitCode=0"}); }

// --- a row of the matrix ----------------------------------------------------------

enum class LogState {
  Whole,   // the log exists, keeps the earlier run's entry first and stays whole
  Absent,  // the log cannot be written at all
};

struct Plan {
  E2eServerTree tree;
  E2eSettings settings;
  std::vector<E2eNotice> notices;  // beside the launcher when not empty
};

struct FaultRow {
  std::string name;
  std::function<void(Plan&)> plan;     // before publishing
  std::function<void(E2eRun&)> arrange;  // after publishing: rules, broken files, machine state
  std::vector<std::string> args;
  std::string keys;
  PageText page;                // the page the run ends on (headline empty: none is checked)
  std::string box;              // the error box text, when the run ends in one
  std::vector<std::wstring> lines;  // key log lines, in this order
  std::vector<std::wstring> errors;  // error-level log lines
  LogState log = LogState::Whole;
  std::function<void(E2eRun&, const E2eResult&)> verify;  // what else must hold
  bool big = false;             // the 1 GiB row
};

std::ostream& operator<<(std::ostream& out, const FaultRow& row) { return out << row.name; }

std::string ServerFile(E2eRun& run, const std::string& path) { return ReadBytes(run.server().LocalPath(path)); }

void Overwrite(E2eRun& run, const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(run.server().WriteFile(path, bytes));
}

std::wstring TempFile(E2eRun& run, const std::wstring& name) { return JoinPath(run.MachineTempFolder(), name); }

// A good file from an earlier run lies where a download will write; the row
// checks afterwards that the failed download left it alone.
const char kEarlierCopy[] = "<?xml version=\"1.0\"?><!-- a good copy from an earlier run --><Earlier/>\n";

std::function<void(E2eRun&)> Then(std::function<void(E2eRun&)> a, std::function<void(E2eRun&)> b) {
  return [a, b](E2eRun& run) {
    a(run);
    b(run);
  };
}

std::function<void(E2eRun&)> SeedTempFile(const std::wstring& name, const std::string& bytes) {
  return [name, bytes](E2eRun& run) { ASSERT_TRUE(WriteBytes(TempFile(run, name), bytes)); };
}

std::function<void(E2eRun&, const E2eResult&)> KeepsTempFile(const std::wstring& name, const std::string& bytes) {
  return [name, bytes](E2eRun& run, const E2eResult&) {
    EXPECT_EQ(bytes, ReadBytes(TempFile(run, name))) << Utf8(name) << " was replaced by a failed download";
  };
}

std::function<void(E2eRun&)> Rule(const std::string& path, const std::string& options) {
  return [path, options](E2eRun& run) { ASSERT_TRUE(run.server().SetRule(path, options)); };
}

std::function<void(E2eRun&)> ServeInstead(const std::string& path,
                                          std::function<std::string(const std::string&)> change) {
  return [path, change](E2eRun& run) { Overwrite(run, path, change(ServerFile(run, path))); };
}

std::function<void(E2eRun&)> LauncherFileInstead(const std::string& name,
                                                  std::function<std::string(const std::string&)> change) {
  return [name, change](E2eRun& run) { ASSERT_TRUE(run.WriteLauncherFile(name, change(run.ReadLauncherFile(name)))); };
}

std::function<void(E2eRun&, const E2eResult&)> NothingInstalled() {
  return [](E2eRun& run, const E2eResult&) {
    EXPECT_EQ(std::string::npos, run.machine().ReadFile("registry.reg").find("TAVO Net Shield"));
  };
}

// --- the rows ---------------------------------------------------------------------

const std::wstring kSettingsFailed = L"設定ファイルの読み込みに失敗しました。";
const std::wstring kNoticesFailed = L"通知データファイルの読み込みに失敗しました。";
const std::wstring kVersionUnreadable = L"インストールランチャーのバージョン取得に失敗しました。";

// The start-up cannot read its settings: one error box, no wizard.
FaultRow SettingsRow(const std::string& name, std::function<void(E2eRun&)> arrange, const std::string& box) {
  FaultRow row;
  row.name = name;
  row.arrange = std::move(arrange);
  row.box = box;
  row.lines = {L"プログラムを開始します。", kSettingsFailed, kSettingsFailed, L"プログラムを終了します。"};
  row.errors = {kSettingsFailed};
  row.verify = [](E2eRun& run, const E2eResult&) { EXPECT_TRUE(run.server().Requests().empty()); };
  return row;
}

// A notices file that cannot be read: no notices page, the installation goes on.
FaultRow NoticesRow(const std::string& name, std::function<std::string(const std::string&)> change) {
  FaultRow row;
  row.name = name;
  row.plan = [](Plan& plan) {
    E2eNotice notice;
    notice.title = "すべてのお客様へのお知らせ";
    plan.notices = {notice};
  };
  row.arrange = LauncherFileInstead("SetupNotification.xml", std::move(change));
  row.page = SuccessPage();
  row.lines = {L"通知データファイルを読み込みます。", kNoticesFailed, L"お知らせ画面をスキップします。",
               L"インストール処理を完了しました。"};
  row.errors = {kNoticesFailed};
  row.verify = [](E2eRun&, const E2eResult& r) { EXPECT_FALSE(r.ScreenHas("=== 重要なお知らせ ===")); };
  return row;
}

// A version file that cannot be read: the start-up goes on with the files in use.
FaultRow VersionFileRow(const std::string& name, std::function<std::string(const std::string&)> change) {
  FaultRow row;
  row.name = name;
  row.arrange = ServeInstead("/SetupLauncherVer.xml", std::move(change));
  row.page = SuccessPage();
  row.lines = {L"インストールランチャーのバージョン取得を行います。", kVersionUnreadable, L"更新ダイアログ処理を完了しました。",
               L"インストール処理を完了しました。"};
  row.errors = {kVersionUnreadable};
  return row;
}

// A download configuration that cannot be parsed: result 5, nothing downloaded.
FaultRow ConfigRow(const std::string& name, std::function<std::string(const std::string&)> change) {
  FaultRow row;
  row.name = name;
  row.arrange = ServeInstead("/DownloadConfig.xml", std::move(change));
  row.page = ConfigBrokenPage();
  row.lines = {L"設定ファイル(DLConfig)のダウンロードに成功しました。", L"設定ファイルの解析処理を実行します。",
               L"設定ファイルの解析に失敗しました。", L"エラー番号:5"};
  row.errors = {L"設定ファイルの解析に失敗しました。"};
  row.verify = [](E2eRun& run, const E2eResult&) {
    EXPECT_TRUE(run.server().RequestsFor("/packages/tavo_tns.msi").empty());
    NothingInstalled()(run, E2eResult());
  };
  return row;
}

std::vector<FaultRow> NetworkRows() {
  std::vector<FaultRow> rows;
  {
    FaultRow row;
    row.name = "NetworkRefusedAtStartUp";
    row.plan = [](Plan& plan) { plan.settings.servers = {E2eRun::DeadServerUrl()}; };
    row.arrange = SeedTempFile(L"SetupLauncherVer.xml", kEarlierCopy);
    row.page = ServerUnreachablePage();
    row.lines = {L"以下のプログラムのダウンロードに失敗しました。", L"インストールランチャーバージョンファイルの取得に失敗しました。",
                 L"エラー画面に遷移します(インストールランチャーバージョンファイルの取得に失敗)。", L"エラー番号:3"};
    row.verify = KeepsTempFile(L"SetupLauncherVer.xml", kEarlierCopy);
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkRefusedByTheFirstServerOnly";
    row.arrange = [](E2eRun& run) {
      // The second server is this run's own.
      E2eSettings settings;
      settings.servers = {E2eRun::DeadServerUrl(), run.BaseUrl()};
      ASSERT_TRUE(run.WriteSettings(settings));
    };
    row.page = SuccessPage();
    row.lines = {L"以下のプログラムのダウンロードに失敗しました。", L"以下のプログラムのダウンロードに成功しました。",
                 L"接続確認に失敗しました。", L"接続を確認しました。", L"設定ファイル(DLConfig)のダウンロードに失敗しました。",
                 L"設定ファイル(DLConfig)のダウンロードに成功しました。", L"インストール処理を完了しました。"};
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "Network404OnTheDownloadConfiguration";
    row.arrange = Then(Rule("/DownloadConfig.xml", "status=404"), SeedTempFile(L"DownloadConfig.xml", kEarlierCopy));
    row.page = ConfigDownloadFailedPage();
    row.lines = {L"設定ファイル(DLConfig)のダウンロードに失敗しました。", L"設定ファイルのダウンロードに失敗しました。",
                 L"エラー番号:4"};
    row.verify = KeepsTempFile(L"DownloadConfig.xml", kEarlierCopy);
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "Network500OnThePackage";
    row.arrange = Then(Rule("/packages/tavo_tns.msi", "status=500"), SeedTempFile(L"tavo_tns.msi", GoodPackageText()));
    row.page = PackageDownloadFailedPage();
    row.lines = {L"以下のプログラムのダウンロードに失敗しました。(リトライ:0)",
                 L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)", L"ファイルのダウンロードに失敗しました。",
                 L"エラー番号:6"};
    row.verify = [](E2eRun& run, const E2eResult& r) {
      KeepsTempFile(L"tavo_tns.msi", GoodPackageText())(run, r);
      EXPECT_EQ(3u, run.server().RequestsFor("/packages/tavo_tns.msi").size());
      NothingInstalled()(run, r);
    };
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "Network500OnTheVersionFile";
    row.arrange =
        Then(Rule("/SetupLauncherVer.xml", "status=500"), SeedTempFile(L"SetupLauncherVer.xml", kEarlierCopy));
    row.page = ServerUnreachablePage();
    row.lines = {L"インストールランチャーバージョンファイルの取得に失敗しました。", L"エラー番号:3"};
    row.verify = KeepsTempFile(L"SetupLauncherVer.xml", kEarlierCopy);
    rows.push_back(row);
  }
  {
    // The one fetch with a short timeout: 10 s without an answer.
    FaultRow row;
    row.name = "NetworkStallPastTheTimeoutOfTheVersionFile";
    row.arrange =
        Then(Rule("/SetupLauncherVer.xml", "delay-ms=14000"), SeedTempFile(L"SetupLauncherVer.xml", kEarlierCopy));
    row.page = ServerUnreachablePage();
    row.lines = {L"以下のプログラムのダウンロードに失敗しました。", L"インストールランチャーバージョンファイルの取得に失敗しました。",
                 L"エラー番号:3"};
    row.verify = [](E2eRun& run, const E2eResult& r) {
      KeepsTempFile(L"SetupLauncherVer.xml", kEarlierCopy)(run, r);
      // Timed out (12002), not refused.
      EXPECT_TRUE(LogHasEntry(r.log, L"以下のプログラムのダウンロードに失敗しました。 (ERRORCODE 12002)"));
    };
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkStallShorterThanTheTimeout";
    row.plan = [](Plan& plan) { plan.tree.packages[0].content = PaddedPackage(GoodPackageText(), 20000); };
    row.arrange = Rule("/packages/tavo_tns.msi", "stall-after=4096 stall-ms=1500");
    row.page = SuccessPage();
    row.lines = {L"ハッシュ解析処理を完了しました。", L"インストール処理を完了しました。"};
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkTruncatedPackage";
    row.plan = [](Plan& plan) { plan.tree.packages[0].content = PaddedPackage(GoodPackageText(), 50000); };
    row.arrange = Rule("/packages/tavo_tns.msi", "close-after=20000");
    row.page = PackageDownloadFailedPage();
    row.lines = {L"以下のプログラムのダウンロードに失敗しました。(リトライ:0)",
                 L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)", L"エラー番号:6"};
    row.verify = [](E2eRun& run, const E2eResult& r) {
      // What arrived stays beside the package, never taken for it.
      EXPECT_EQ(20000u, ReadBytes(TempFile(run, L"tavo_tns.msi.part")).size());
      EXPECT_TRUE(ReadBytes(TempFile(run, L"tavo_tns.msi")).empty());
      EXPECT_FALSE(LogHasEntry(r.log, L"ハッシュ解析処理を完了しました。"));
      NothingInstalled()(run, r);
    };
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkTruncatedDownloadConfiguration";
    row.arrange = [](E2eRun& run) {
      const size_t size = ServerFile(run, "/DownloadConfig.xml").size();
      Rule("/DownloadConfig.xml", "close-after=" + std::to_string(size / 2))(run);
    };
    row.page = ConfigDownloadFailedPage();
    row.lines = {L"設定ファイル(DLConfig)のダウンロードに失敗しました。", L"エラー番号:4"};
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkSlowDrip";
    row.plan = [](Plan& plan) { plan.tree.packages[0].content = PaddedPackage(GoodPackageText(), 200 * 1024); };
    row.arrange = Rule("/packages/tavo_tns.msi", "drip-bytes=4096 drip-ms=5");
    row.page = SuccessPage();
    row.lines = {L"ハッシュ解析処理を完了しました。", L"インストール処理を完了しました。"};
    row.verify = [](E2eRun&, const E2eResult& r) {
      EXPECT_TRUE(r.ScreenHas("状態: プログラムのダウンロードを行っています...(100KB/200KB)\n")) << r.screen;
      EXPECT_TRUE(r.ScreenHas("状態: プログラムのダウンロードを行っています...(200KB/200KB)\n"));
    };
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "NetworkOneGibibytePackage";
    row.big = true;
    row.plan = [](Plan& plan) {
      E2ePackage big;
      big.file = "tavo_big.dat";
      big.name = "TAVO Net Shield data";
      big.existingFile = true;
      big.execType = 3;  // downloaded and checked, not run
      big.productType = 5;
      plan.tree.packages.push_back(big);
    };
    row.page = SuccessPage();
    row.lines = {L"以下のファイルをダウンロードします。", L"ハッシュ解析処理を完了しました。",
                 L"以下のファイルをダウンロードします。", L"ハッシュ解析処理を完了しました。",
                 L"インストール処理を完了しました。"};
    row.verify = [](E2eRun& run, const E2eResult& r) {
      struct stat st {};
      ASSERT_EQ(0, ::stat(Utf8(TempFile(run, L"tavo_big.dat")).c_str(), &st));
      EXPECT_EQ(1LL << 30, static_cast<long long>(st.st_size));
      EXPECT_TRUE(r.ScreenHas("状態: プログラムのダウンロードを行っています...(1048500KB/1048576KB)\n"));
    };
    rows.push_back(row);
  }
  return rows;
}

std::vector<FaultRow> FileRows() {
  std::vector<FaultRow> rows;
  auto remove = [](const std::string& name) {
    return [name](E2eRun& run) { ::unlink(Utf8(run.LauncherFolder() + platform::Utf8ToWide(name)).c_str()); };
  };
  const std::string boxMissing = "設定ファイルの読み込みに失敗しました。 (ErrorNumber=2)";
  const std::string boxBroken = "設定ファイルの読み込みに失敗しました。 (ErrorNumber=13)";

  // --- the settings file beside the launcher ---
  rows.push_back(SettingsRow("SettingsMissing", remove("SetupLauncherV2.xml"), boxMissing));
  rows.push_back(SettingsRow("SettingsEmpty", LauncherFileInstead("SetupLauncherV2.xml", [](const std::string&) {
                               return std::string();
                             }), boxBroken));
  rows.push_back(SettingsRow("SettingsMalformed", LauncherFileInstead("SetupLauncherV2.xml", CutInHalf), boxBroken));
  rows.push_back(SettingsRow("SettingsWronglyEncoded",
                             LauncherFileInstead("SetupLauncherV2.xml", [](const std::string& x) {
                               return Replace(x, "<ProviderType>KOTA", std::string("<ProviderType>") + kShiftJisBytes);
                             }),
                             boxBroken));
  rows.push_back(SettingsRow("SettingsEntityBomb", LauncherFileInstead("SetupLauncherV2.xml", [](const std::string& x) {
                               return WithEntityBomb(x, "LaunchData");
                             }), boxBroken));
  {
    FaultRow row;
    row.name = "SettingsAbsurdCounts";
    row.arrange = LauncherFileInstead("SetupLauncherV2.xml", [](const std::string& x) {
      std::string out = Replace(x, "<DownloadServerCount>1<", "<DownloadServerCount>2147483647<");
      out = Replace(out, "<ConfrictDataCount>0<", "<ConfrictDataCount>-1<");
      out = Replace(out, "<ConflictSoftwareCount>0<", "<ConflictSoftwareCount>4294967295<");
      return Replace(out, "<ConflictSecurityCenterCount>0<", "<ConflictSecurityCenterCount>99999999999999999999<");
    });
    row.page = SuccessPage();
    row.lines = {L"ランチャー情報を読み込みました。", L"競合製品を確認します。", L"インストール処理を完了しました。"};
    rows.push_back(row);
  }

  // --- the version file on the server ---
  {
    FaultRow row;
    row.name = "VersionFileMissing";
    row.arrange = Rule("/SetupLauncherVer.xml", "status=404");
    row.page = ServerUnreachablePage();
    row.lines = {L"インストールランチャーバージョンファイルの取得に失敗しました。", L"エラー番号:3"};
    rows.push_back(row);
  }
  rows.push_back(VersionFileRow("VersionFileEmpty", [](const std::string&) { return std::string(); }));
  rows.push_back(VersionFileRow("VersionFileMalformed", CutInHalf));
  rows.push_back(VersionFileRow("VersionFileWronglyEncoded", [](const std::string& x) {
    return Replace(x, "<SetupLauncherVerData>", std::string("<SetupLauncherVerData>") + kShiftJisBytes);
  }));
  rows.push_back(VersionFileRow("VersionFileEntityBomb", [](const std::string& x) {
    return WithEntityBomb(x, "SetupLauncherVer");
  }));
  {
    // -1 reads as the largest version number: a newer launcher is announced
    // that the server does not have.
    FaultRow row;
    row.name = "VersionFileAbsurdLastVersion";
    row.arrange = ServeInstead("/SetupLauncherVer.xml", [](const std::string& x) {
      return Replace(x, "<LastVersion>2000000<", "<LastVersion>-1<");
    });
    row.page = PackageDownloadFailedPage();
    row.lines = {L"ランチャーをバージョンアップします。", L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)",
                 L"最新のインストーラーの取得に失敗しました。", L"エラー番号:6"};
    rows.push_back(row);
  }

  // --- the notices beside the launcher ---
  {
    FaultRow row = NoticesRow("NoticesMissing", [](const std::string& x) { return x; });
    row.arrange = remove("SetupNotification.xml");
    rows.push_back(row);
  }
  rows.push_back(NoticesRow("NoticesEmpty", [](const std::string&) { return std::string(); }));
  rows.push_back(NoticesRow("NoticesMalformed", CutInHalf));
  rows.push_back(NoticesRow("NoticesWronglyEncoded", [](const std::string& x) {
    return Replace(x, "<NFDTitle>", std::string("<NFDTitle>") + kShiftJisBytes);
  }));
  rows.push_back(NoticesRow("NoticesEntityBomb", [](const std::string& x) {
    return WithEntityBomb(x, "NotificationDataSet");
  }));
  {
    FaultRow row;
    row.name = "NoticesAbsurdCount";
    row.plan = [](Plan& plan) {
      E2eNotice notice;
      notice.title = "すべてのお客様へのお知らせ";
      plan.notices = {notice};
    };
    row.arrange = LauncherFileInstead("SetupNotification.xml", [](const std::string& x) {
      return Replace(x, "<NotificationDataValueCount>1<", "<NotificationDataValueCount>2147483647<");
    });
    row.keys = "n";
    row.page = SuccessPage();
    row.lines = {L"通知情報が存在しないため通知画面を表示します。", L"以下の通知情報を追加しました。",
                 L"すべてのお客様へのお知らせ", L"「確認」ボタンをクリックしました。", L"インストール処理を完了しました。"};
    row.verify = [](E2eRun&, const E2eResult& r) { EXPECT_TRUE(r.ScreenHas("    すべてのお客様へのお知らせ\n")) << r.screen; };
    rows.push_back(row);
  }
  {
    // A file in Shift_JIS that says so is read as such.
    FaultRow row;
    row.name = "NoticesInShiftJisThatSaysSo";
    row.arrange = [](E2eRun& run) {
      const std::string xml = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<NotificationDataSet>"
                              "<NotificationVersion>1</NotificationVersion>"
                              "<NotificationDataValueCount>1</NotificationDataValueCount>"
                              "<NotificationDataValue00><NFDTitle>" + std::string(kShiftJisBytes) +
                              "</NFDTitle><NFDURL>https://www.tavo-security.jp/</NFDURL><STRCOLOR>0,0,0</STRCOLOR>"
                              "<NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue>"
                              "</NotificationDataValue00></NotificationDataSet>\r\n";
      ASSERT_TRUE(run.WriteLauncherFile("SetupNotification.xml", xml));
    };
    row.keys = "n";
    row.page = SuccessPage();
    row.lines = {L"以下の通知情報を追加しました。", L"ウイルス", L"「確認」ボタンをクリックしました。"};
    rows.push_back(row);
  }
  {
    // Newer notices from the server that cannot be read: the page is not shown.
    FaultRow row;
    row.name = "NoticesDownloadedMalformed";
    row.plan = [](Plan& plan) {
      plan.tree.notificationVersion = 9;
      plan.tree.publishNotices = true;
      E2eNotice notice;
      notice.title = "サーバーのお知らせ";
      plan.tree.notices = {notice};
    };
    row.arrange = ServeInstead("/SetupNotification.xml", CutInHalf);
    row.page = SuccessPage();
    row.lines = {L"通知ファイルを更新します。", L"以下のプログラムのダウンロードに成功しました。", kNoticesFailed,
                 L"インストール処理を完了しました。"};
    row.verify = [](E2eRun&, const E2eResult& r) { EXPECT_FALSE(r.ScreenHas("=== 重要なお知らせ ===")); };
    rows.push_back(row);
  }

  // --- the download configuration on the server ---
  {
    FaultRow row;
    row.name = "DownloadConfigMissing";
    row.arrange = [](E2eRun& run) { ::unlink(Utf8(run.server().LocalPath("/DownloadConfig.xml")).c_str()); };
    row.page = ConfigDownloadFailedPage();
    row.lines = {L"設定ファイル(DLConfig)のダウンロードに失敗しました。", L"エラー番号:4"};
    rows.push_back(row);
  }
  rows.push_back(ConfigRow("DownloadConfigEmpty", [](const std::string&) { return std::string(); }));
  rows.push_back(ConfigRow("DownloadConfigMalformed", CutInHalf));
  rows.push_back(ConfigRow("DownloadConfigWronglyEncoded", [](const std::string& x) {
    return Replace(x, "<PackageName>TAVO Net Shield", std::string("<PackageName>") + kShiftJisBytes);
  }));
  rows.push_back(ConfigRow("DownloadConfigEntityBomb", [](const std::string& x) {
    return WithEntityBomb(x, "DownloadConfig");
  }));
  rows.push_back(ConfigRow("DownloadConfigAbsurdCount", [](const std::string& x) {
    return Replace(x, "<PackageDownloadServerCount>1<", "<PackageDownloadServerCount>2147483647<");
  }));
  rows.push_back(ConfigRow("DownloadConfigNegativeCount", [](const std::string& x) {
    return Replace(x, "<PackageDownloadServerCount>1<", "<PackageDownloadServerCount>-1<");
  }));
  {
    FaultRow row;
    row.name = "DownloadConfigWithoutPackages";
    row.arrange = ServeInstead("/DownloadConfig.xml", [](const std::string& x) {
      return Replace(x, "<PackageDownloadServerCount>1<", "<PackageDownloadServerCount>0<");
    });
    row.page = SuccessPage();
    row.lines = {L"設定ファイルの解析に成功しました。", L"パッケージのダウンロードに成功しました。",
                 L"インストール処理を完了しました。"};
    row.verify = NothingInstalled();
    rows.push_back(row);
  }
  return rows;
}

std::vector<FaultRow> MachineRows() {
  std::vector<FaultRow> rows;
  {
    // The conflicting product's key cannot be opened: it counts as absent.
    FaultRow row;
    row.name = "MachineUnreadableConflictKey";
    row.plan = [](Plan& plan) {
      plan.settings.conflictPackages = {{"Example Antivirus", "SOFTWARE\\Example\\Antivirus"}};
    };
    row.arrange = [](E2eRun& run) {
      run.machine().SetRegistryString(L"SOFTWARE\\Example\\Antivirus", L"Version", L"5.1");
      run.machine().DenyRegistryKey(L"SOFTWARE\\Example\\Antivirus");
    };
    row.page = SuccessPage();
    row.lines = {L"競合製品を確認します。", L"インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。",
                 L"インストール処理を完了しました。"};
    rows.push_back(row);
  }
  {
    // An entry of the installed-software list that cannot be read is passed over.
    FaultRow row;
    row.name = "MachineUnreadableInstalledSoftwareEntry";
    row.plan = [](Plan& plan) { plan.settings.conflictSoftware = {"Example Antivirus"}; };
    row.arrange = [](E2eRun& run) {
      const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ExampleAV";
      run.machine().SetRegistryString(key, L"DisplayName", L"Example Antivirus");
      run.machine().DenyRegistryKey(key);
    };
    row.page = SuccessPage();
    row.lines = {L"競合製品を確認します。", L"インストール処理を完了しました。"};
    rows.push_back(row);
  }
  {
    // The installed product's key cannot be opened: it counts as not installed.
    FaultRow row;
    row.name = "MachineUnreadableProductKey";
    row.arrange = [](E2eRun& run) {
      const std::wstring key = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";
      run.machine().SetRegistryString(key, L"ProductName", L"TAVO Net Shield");
      run.machine().SetRegistryString(key, L"ProductVersion", L"10.0.2032.10");
      run.machine().DenyRegistryKey(key);
    };
    row.page = SuccessPage();
    row.lines = {L"TAVO製品のインストール：インストールされていません。", L"インストール処理を完了しました。"};
    rows.push_back(row);
  }
  {
    // Without the event log nothing proves that the installer ran.
    FaultRow row;
    row.name = "MachineEventLogCannotBeOpened";
    row.arrange = [](E2eRun& run) {
      ASSERT_TRUE(platform::CreateFolder(platform::Utf8ToWide(run.machine().folder() + "eventlog.tsv")));
    };
    row.page = NotExecutedPage();
    row.lines = {L"以下のインストールコマンドを実行します。", L"プログラムの実行をキャンセルしました。",
                 L"インストールに失敗しました。", L"エラー番号:15"};
    rows.push_back(row);
  }
  {
    FaultRow row;
    row.name = "MachineSecurityCenterFails";
    row.plan = [](Plan& plan) { plan.settings.conflictSecurityCenter = {"Example Antivirus"}; };
    row.arrange = [](E2eRun& run) {
      run.machine().WriteFile("securitycenter.ini",
                              "[AntiVirusProduct 0]\ndisplayName=Example Antivirus\n"
                              "[Fail]\nAntiVirusProduct=1\nAntiSpywareProduct=1\nFirewallProduct=1\n");
    };
    row.page = SuccessPage();
    row.lines = {L"ウイルス対策製品の情報取得に失敗しました。", L"スパイウェア対策製品の情報取得に失敗しました。",
                 L"ファイアウォール製品の情報取得に失敗しました。", L"競合製品を確認します。",
                 L"インストール処理を完了しました。"};
    row.errors = {L"ウイルス対策製品の情報取得に失敗しました。", L"スパイウェア対策製品の情報取得に失敗しました。",
                  L"ファイアウォール製品の情報取得に失敗しました。"};
    rows.push_back(row);
  }
  {
    // No file can be written to the temporary folder: the version file cannot
    // be stored, which the start-up reports as a failed fetch (result 3), and
    // no log can be written. The file named as the folder is left alone.
    FaultRow row;
    row.name = "MachineTemporaryFolderUnwritable";
    row.arrange = [](E2eRun& run) {
      run.machine().WriteFile("not-a-folder", "a file, not a folder\n");
      run.machine().Set("Folders", "Temp", "not-a-folder");
    };
    row.log = LogState::Absent;
    row.page = ServerUnreachablePage();
    row.verify = [](E2eRun& run, const E2eResult&) {
      EXPECT_EQ("a file, not a folder\n", run.machine().ReadFile("not-a-folder"));
      EXPECT_TRUE(run.server().RequestsFor("/DownloadConfig.xml").empty());
    };
    rows.push_back(row);
  }
  {
    // The log cannot be opened; the launcher carries on and installs.
    FaultRow row;
    row.name = "MachineDebugLogLocked";
    row.arrange = [](E2eRun& run) { ASSERT_TRUE(platform::CreateFolder(run.DebugLogPath())); };
    row.log = LogState::Absent;
    row.page = SuccessPage();
    row.verify = [](E2eRun& run, const E2eResult&) {
      EXPECT_TRUE(platform::FolderExists(run.DebugLogPath()));
      EXPECT_NE(std::string::npos, run.machine().ReadFile("registry.reg").find("TAVO Net Shield"));
    };
    rows.push_back(row);
  }
  return rows;
}

std::vector<FaultRow> AllRows() {
  std::vector<FaultRow> rows = NetworkRows();
  for (auto& row : FileRows()) rows.push_back(row);
  for (auto& row : MachineRows()) rows.push_back(row);
  return rows;
}

// --- running a row ----------------------------------------------------------------

class FaultMatrixTest : public WholeRunTest, public ::testing::WithParamInterface<FaultRow> {};

bool BigTestsWanted() {
  const char* big = std::getenv("TAVO_BIG_TESTS");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // Instrumented, the gibibyte takes minutes.
  return big != nullptr && std::string(big) == "1";
#else
  return big == nullptr || std::string(big) != "0";
#endif
}

TEST_P(FaultMatrixTest, EndsAsPromisedAndLosesNothing) {
  const FaultRow& row = GetParam();
  if (row.big && !BigTestsWanted()) {
    GTEST_SKIP() << "the 1 GiB download is off here (TAVO_BIG_TESTS=0, or a sanitizer build without TAVO_BIG_TESTS=1)";
  }

  Plan plan;
  plan.tree = TreeWith(GoodPackageText());
  if (row.plan) row.plan(plan);
  if (row.big) {
    // A sparse file: the publishing tool reads and copies it like any package.
    const std::string path = Utf8(run().PackageSourceFolder()) + "tavo_big.dat";
    ASSERT_TRUE(WriteBytes(platform::Utf8ToWide(path), ""));
    ASSERT_EQ(0, ::truncate(path.c_str(), 1LL << 30));
  }
  ASSERT_TRUE(run().Publish(plan.tree)) << run().error();
  if (row.big) {
    // The served copy made sparse again: the same zero bytes, so the digest
    // the tool wrote still holds, without a gibibyte on the disk.
    const std::string served = Utf8(run().server().LocalPath("/packages/tavo_big.dat"));
    ASSERT_EQ(0, ::truncate(served.c_str(), 0));
    ASSERT_EQ(0, ::truncate(served.c_str(), 1LL << 30));
  }
  ASSERT_TRUE(run().WriteSettings(plan.settings));
  if (!plan.notices.empty()) {
    ASSERT_TRUE(run().WriteNotices(plan.notices));
  }
  if (row.log == LogState::Whole) {
    // The log of an earlier run on this machine.
    ASSERT_TRUE(WriteBytes(run().DebugLogPath(), platform::WideToUtf16Le(L"\xFEFF" + platform::Utf8ToWide(kLogSeed))));
  }
  if (row.arrange) row.arrange(run());
  if (HasFatalFailure()) return;

  // The launcher's own files, as they are before the run.
  std::map<std::string, std::string> launcherFiles;
  for (const char* name : {"Setup.exe", "SetupLauncherV2.xml", "SetupNotification.xml"}) {
    launcherFiles[name] = run().ReadLauncherFile(name);
  }

  const E2eResult r = run().Run(row.args, row.keys, 90);
  EXPECT_FALSE(r.timedOut) << r.screen;
  EXPECT_EQ(0, r.exitCode) << r.screen;

  if (!row.page.headline.empty()) {
    EXPECT_TRUE(ShowsPage(r, row.page));
  }
  if (!row.box.empty()) {
    EXPECT_TRUE(r.ScreenHas("[エラー] " + row.box + "\n[OK]\n")) << r.screen;
    EXPECT_FALSE(r.ScreenHas("ボタン:")) << "no wizard after a fatal start-up failure\n" << r.screen;
  }

  if (row.log == LogState::Whole) {
    EXPECT_TRUE(LogIsWhole(r.log));
    ASSERT_GE(r.log.entries.size(), 3u);
    EXPECT_EQ(L"前回の実行の記録です。", r.log.entries[0].text) << "the earlier run's log is kept";
    EXPECT_EQ(L"プログラムを開始します。", r.log.entries[1].text);
    EXPECT_EQ(L"プログラムを終了します。", r.log.entries.back().text);
    EXPECT_TRUE(LogHasInOrder(r.log, row.lines));
    for (const auto& error : row.errors) EXPECT_TRUE(LogHasError(r.log, error)) << Utf8(error);
  } else {
    EXPECT_TRUE(r.log.lines.empty()) << "no log can be written here";
  }

  for (const auto& file : launcherFiles) {
    EXPECT_EQ(file.second, run().ReadLauncherFile(file.first)) << file.first << " beside the launcher was changed";
  }
  if (row.verify) row.verify(run(), r);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(AllRows()),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return info.param.name; });

}  // namespace
}  // namespace tavo_test
