#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/e2e_run_posix.h"

namespace tavo_test {

// A whole run per test: its own machine, server and launcher folder, so that
// the tests may run in parallel processes.
class WholeRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = std::make_unique<E2eRun>(E2eRun::Paths{TAVO_SETUP_EXE, TAVO_SOURCE_DIR});
    ASSERT_TRUE(run_->ok()) << run_->error();
  }

  E2eRun& run() { return *run_; }

  // TAVO Net Shield 10.0 for the simulated Windows Installer.
  static std::string NetShieldPackage(const std::vector<std::string>& lines = {"ExitCode=0"}) {
    return SimPackage("TAVO Net Shield", "10.0.2032.10", lines);
  }

  // A server tree with one MSI package of TAVO Net Shield, and a version file
  // that names 10.0.2032.10 as its newest version.
  static E2eServerTree TreeWith(const std::string& packageText) {
    E2eServerTree tree;
    E2ePackage package;
    package.content = packageText;
    package.productType = 5;
    tree.packages.push_back(package);
    tree.latest["TNS"] = "10.0.2032.10";
    return tree;
  }

  // Publishes the tree and writes the settings (TAVO Net Shield from this server).
  void Prepare(const E2eServerTree& tree, const E2eSettings& settings = E2eSettings()) {
    ASSERT_TRUE(run().Publish(tree)) << run().error();
    ASSERT_TRUE(run().WriteSettings(settings));
  }

  std::unique_ptr<E2eRun> run_;
};

// The page a run ended on, as the plain-text screen prints it.
struct PageText {
  std::string headline;
  std::vector<std::string> body;  // one entry per line of the body
  std::string links;              // "<caption> <caption>", empty when no link is shown
  std::string buttons;            // "[終了（N）] [最小化(M)] [閉じる(X)]"
};

inline ::testing::AssertionResult ShowsPage(const E2eResult& result, const PageText& page) {
  const std::string last = result.LastScreen();
  auto fail = [&](const std::string& what) {
    return ::testing::AssertionFailure() << what << "\n--- last screen ---\n" << last << "\n--- whole output ---\n"
                                         << result.screen;
  };
  if (result.timedOut) return fail("the launcher did not end");
  if (last.compare(0, 4 + page.headline.size() + 5, "=== " + page.headline + " ===\n") != 0) {
    return fail("headline is not " + page.headline);
  }
  for (const auto& line : page.body) {
    if (last.find("\n" + line + "\n") == std::string::npos) return fail("body line missing: " + line);
  }
  if (page.links.empty()) {
    if (last.find("\nリンク:") != std::string::npos) return fail("a link is shown");
  } else if (last.find("\nリンク: " + page.links + "\n") == std::string::npos) {
    return fail("links are not " + page.links);
  }
  if (last.find("\nボタン: " + page.buttons + "\n") == std::string::npos) return fail("buttons are not " + page.buttons);
  return ::testing::AssertionSuccess();
}

// Texts of the completion page shared by several results.
inline const char* kErrorButtons() { return "[終了（N）] [最小化(M)] [閉じる(X)]"; }
inline const char* kDoneButtons() { return "[完了（N）] [最小化(M)] [閉じる(X)]"; }
inline const char* kTroubleLink() { return "<インストールに失敗する場合は？>"; }
inline const char* kSupportLink() { return "<サポート情報を表示する>"; }

inline PageText SuccessPage() {
  return {"インストールが完了しました",
          {"プログラムのインストールが完了しました。", "「完了」ボタンをクリック後、Windowsを再起動してください。"},
          "",
          kDoneButtons()};
}

inline PageText ServerUnreachablePage() {
  return {"インストール中にエラーが発生しました",
          {"ダウンロードサーバーとの接続に失敗しました。ネットワークに接続されていない可能性があります。",
           "インターネット接続ができることを確認の上、再度インストールを実行してください。",
           "ネットワーク接続後も繰り返しインストールに失敗する場合は、「インストールに失敗する場合は？」をクリックしてください。"},
          kTroubleLink(),
          kErrorButtons()};
}

inline PageText FailedPage(const std::string& firstLine, const std::string& headline = "インストールに失敗しました") {
  return {headline,
          {firstLine, "プログラムを終了し、再度インストールを実行してください。",
           "繰り返しインストールに失敗する場合は、「インストールに失敗する場合は？」をクリックしてください。"},
          kTroubleLink(),
          kErrorButtons()};
}

inline PageText ConfigDownloadFailedPage() { return FailedPage("設定ファイルをダウンロードできませんでした。"); }
inline PageText ConfigBrokenPage() { return FailedPage("設定ファイルの解析中にエラーが発生しました。"); }
inline PageText PackageDownloadFailedPage() {
  return FailedPage("最新のインストーラーをダウンロードできませんでした。", "インストール中にエラーが発生しました");
}

inline PageText InstallerFailedPage(const std::string& codeAndMessage, const std::string& cause) {
  return {"インストールに失敗しました",
          {"プログラムのインストール中にエラーが発生しました。（エラーコード：" + codeAndMessage + "）", cause,
           "「サポート情報を表示する」をクリックし、表示された画面に記載されている操作を実行してください。"},
          kSupportLink(),
          kErrorButtons()};
}

inline PageText HashMismatchPage() {
  return {"インストールに失敗しました",
          {"ファイルのダウンロードに失敗しました。「プログラムのダウンロード」よりプログラムをダウンロードの上、"
           "再度インストールを実行してください。プログラムダウンロード後のインストール手順は「インストール手順」を"
           "クリックして確認してください。"},
          "<プログラムのダウンロード> <インストール手順> <インストールに失敗する場合は？>",
          kErrorButtons()};
}

inline PageText NotExecutedPage() {
  return {"インストールは実行されませんでした",
          {"インストールを実行するには、「終了」ボタンをクリックしてプログラムを終了し、プログラムを再度実行してください。"},
          "",
          kErrorButtons()};
}

inline PageText UnsupportedOsPage() {
  return {"本製品はご利用中のOSには対応していません",
          {"ご利用中のOSには、本製品をインストールできません。（エラーコード：E000）",
           "本製品の対応OSは、TAVO製品ページにて確認いただけます。"},
          "<TAVO製品ページ>",
          kErrorButtons()};
}

}  // namespace tavo_test
