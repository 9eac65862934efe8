#include <gtest/gtest.h>

#include <unistd.h>

#include <mutex>
#include <utility>

#include "app/debug_log.h"
#include "app/launcher_context.h"
#include "app/startup/init_worker_thread.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/log_reader.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

struct Message {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

class RecordingSink : public MessageSink {
 public:
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    messages.push_back({message, wParam, lParam});
    return 0;
  }
  std::vector<int> Steps() const {
    std::vector<int> steps;
    for (const auto& m : messages)
      if (m.message == WM_INIT_STEP) steps.push_back(static_cast<int>(m.wParam));
    return steps;
  }
  int DoneCount() const {
    int n = 0;
    for (const auto& m : messages) n += m.message == WM_INIT_DONE;
    return n;
  }
  std::vector<Message> messages;
};

class RecordingClock : public WaitClock {
 public:
  void Wait(uint32_t ms) override { waits.push_back(ms); }
  std::vector<uint32_t> waits;
};

std::string VersionFile(uint32_t last, uint32_t xml, uint32_t notices, const std::wstring& base) {
  std::string b = platform::WideToUtf8(base);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SetupLauncherVer><SetupLauncherVerData>"
         "<LastVersion>" + std::to_string(last) + "</LastVersion>"
         "<SetupNotificationVersion>" + std::to_string(notices) + "</SetupNotificationVersion>"
         "<SetupLauncherXMLVersion>" + std::to_string(xml) + "</SetupLauncherXMLVersion>"
         "<SetupLauncherURL>" + b + "new/SetupLauncherV2.xml</SetupLauncherURL>"
         "<SetupNotificationURL>" + b + "new/SetupNotification.xml</SetupNotificationURL>"
         "<SetupConflictURL>" + b + "new/Conflict.xml</SetupConflictURL>"
         "<SetupExe>" + b + "new/Setup.exe</SetupExe>"
         "</SetupLauncherVerData></SetupLauncherVer>";
}

class InitWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    ctx_.WorkFolder = machine_.TempFolder();
    ctx_.Settings.DownloaderVersion = 2000000;
    ctx_.Settings.SetupLauncherXMLVersion = 5;
    ctx_.NotificationVersion = 3;
    ctx_.Settings.DownloadServers = {server_.BaseUrl()};
    ctx_.SourceSettingsPath = machine_.wfolder() + L"Launcher Folder/SetupLauncherV2.xml";
    ctx_.LaunchSettingsPath = L"original-settings";
    ctx_.NotificationPath = L"original-notices";
    ctx_.LauncherExePath = L"original-exe";
    logPath_ = ctx_.WorkFolder + L"TAVODebugLog.txt";
    Log().SetPath(logPath_);
    Log().SetEnabled(true);
    server_.WriteFile("/new/SetupLauncherV2.xml", "<LaunchData/>");
    server_.WriteFile("/new/SetupNotification.xml", "<NotificationDataSet/>");
    // The "new launcher" records how it was started.
    server_.WriteFile("/new/Setup.exe", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$SETUP_MACHINE/started.txt\"\n");
  }
  void TearDown() override { Log().SetEnabled(false); }

  int32_t RunWorker() {
    CInitWorkerThread worker(ctx_, clock_);
    worker.NotifyWindow = &sink_;
    return worker.Run();
  }
  std::vector<std::wstring> LogTexts() { return tavo_test::EntryTexts(tavo_test::ReadDebugLog(logPath_)); }
  bool Logged(const std::wstring& text) {
    for (const auto& t : LogTexts())
      if (t == text || t.rfind(text + L" (ERRORCODE", 0) == 0) return true;
    return false;
  }
  const Message& Done() { return sink_.messages.back(); }

  SimMachine machine_;
  tavo_test::LoopbackServer server_;
  LauncherContext ctx_;
  RecordingSink sink_;
  RecordingClock clock_;
  std::wstring logPath_;
};

TEST_F(InitWorkerTest, NothingNewer) {
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000000, 5, 3, server_.BaseUrl()));
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), sink_.Steps());
  EXPECT_EQ(1, sink_.DoneCount());
  EXPECT_EQ(WM_INIT_DONE, Done().message);
  EXPECT_EQ(0u, Done().wParam);
  EXPECT_EQ(0, Done().lParam);
  EXPECT_TRUE(Logged(L"ランチャーを再起動しません。"));
  EXPECT_EQ(L"original-settings", ctx_.LaunchSettingsPath);
  EXPECT_FALSE(ctx_.LaunchSettingsUpdated);
  EXPECT_TRUE(server_.RequestsFor("/new/Setup.exe").empty());
  EXPECT_TRUE(server_.RequestsFor("/new/SetupLauncherV2.xml").empty());
  EXPECT_TRUE(server_.RequestsFor("/new/SetupNotification.xml").empty());
}

TEST_F(InitWorkerTest, VersionFileWithoutLastVersionIsNotNewer) {
  server_.WriteFile("/SetupLauncherVer.xml",
                    "<SetupLauncherVer><SetupLauncherVerData></SetupLauncherVerData></SetupLauncherVer>");
  EXPECT_EQ(0, RunWorker());
  EXPECT_TRUE(server_.RequestsFor("/new/Setup.exe").empty());
}

TEST_F(InitWorkerTest, NewerLauncherRestartsWithBothRefreshes) {
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000001, 5, 3, server_.BaseUrl()));
  EXPECT_EQ(1, RunWorker());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}), sink_.Steps());
  EXPECT_EQ(1u, Done().wParam);
  EXPECT_EQ(0, Done().lParam);
  EXPECT_EQ(ctx_.WorkFolder + L"Setup.exe", ctx_.LauncherExePath);
  EXPECT_EQ(ctx_.WorkFolder + L"SetupLauncherV2.xml", ctx_.LaunchSettingsPath);
  EXPECT_EQ(ctx_.WorkFolder + L"SetupNotification.xml", ctx_.NotificationPath);
  EXPECT_TRUE(ctx_.LaunchSettingsUpdated);
  EXPECT_TRUE(Logged(L"アップデートに成功しました。"));
  EXPECT_TRUE(Logged(L"以下のコマンドを実行します。"));
  EXPECT_TRUE(Logged(ctx_.WorkFolder + L"Setup.exe /N /O \"" + ctx_.SourceSettingsPath + L"\""));
  EXPECT_TRUE(Logged(L"プログラムを起動しました。"));
  // The new launcher was started, not waited for; give it a moment to write.
  std::string started;
  for (int i = 0; i < 200 && started.empty(); ++i) {
    started = machine_.ReadFile("started.txt");
    if (started.empty()) usleep(10000);
  }
  EXPECT_EQ("/N\n/O\n" + platform::WideToUtf8(ctx_.SourceSettingsPath) + "\n", started);
}

TEST_F(InitWorkerTest, NewerSettingsOnly) {
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000000, 6, 3, server_.BaseUrl()));
  EXPECT_EQ(0, RunWorker());
  EXPECT_TRUE(ctx_.LaunchSettingsUpdated);
  EXPECT_EQ(ctx_.WorkFolder + L"SetupLauncherV2.xml", ctx_.LaunchSettingsPath);
  EXPECT_EQ(L"original-notices", ctx_.NotificationPath);
  EXPECT_EQ(L"original-exe", ctx_.LauncherExePath);
  EXPECT_TRUE(Logged(L"ランチャーファイルを更新します。"));
}

TEST_F(InitWorkerTest, NewerNoticesWhenTheLocalFileIsMissing) {
  ctx_.NotificationVersion = 0;  // a missing local file counts as version 0
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000000, 5, 1, server_.BaseUrl()));
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ(ctx_.WorkFolder + L"SetupNotification.xml", ctx_.NotificationPath);
  EXPECT_FALSE(ctx_.LaunchSettingsUpdated);
  EXPECT_TRUE(Logged(L"通知ファイルを更新します。"));
}

TEST_F(InitWorkerTest, FailedNoticesDownloadDoesNotFailTheUpdate) {
  server_.SetRule("/new/SetupNotification.xml", "status=404");
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000000, 5, 9, server_.BaseUrl()));
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ(0, Done().lParam);
  EXPECT_EQ(L"original-notices", ctx_.NotificationPath);
}

TEST_F(InitWorkerTest, VersionFileFromTheSecondServer) {
  std::wstring dead = L"http://127.0.0.1:" + std::to_wstring(tavo_test::UnusedLoopbackPort());
  ctx_.Settings.DownloadServers = {dead, server_.BaseUrl()};
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000000, 5, 3, server_.BaseUrl()));
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ(0, Done().lParam);
  EXPECT_TRUE(Logged(L"以下のプログラムのダウンロードに失敗しました。"));
  EXPECT_TRUE(Logged(dead + L"/SetupLauncherVer.xml"));
  EXPECT_TRUE(Logged(L"以下のプログラムのダウンロードに成功しました。"));
}

TEST_F(InitWorkerTest, NoServerAtAll) {
  ctx_.Settings.DownloadServers.clear();
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ((std::vector<int>{1, 2}), sink_.Steps());
  EXPECT_EQ(0u, Done().wParam);
  EXPECT_EQ(kInitKindVersionFile, Done().lParam);
  EXPECT_TRUE(Logged(L"インストールランチャーバージョンファイルの取得に失敗しました。"));
}

TEST_F(InitWorkerTest, UnreadableVersionFileGoesOnWithTheFilesInUse) {
  server_.WriteFile("/SetupLauncherVer.xml", "<SetupLauncherVer><broken>");
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), sink_.Steps());
  EXPECT_EQ(kInitKindNone, Done().lParam);
  EXPECT_TRUE(Logged(L"インストールランチャーのバージョン取得に失敗しました。"));
}

TEST_F(InitWorkerTest, LauncherDownloadFailsThreeTimes) {
  for (bool marker : {false, true}) {
    SCOPED_TRACE(marker);
    clock_.waits.clear();
    sink_.messages.clear();
    platform::DeleteFileAt(ctx_.WorkFolder + L"$retry$.dat");
    if (marker) tavo_test::WriteBytes(ctx_.WorkFolder + L"$retry$.dat", "");
    server_.SetRule("/new/Setup.exe", "status=500");
    server_.ClearRequests();
    server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000001, 5, 3, server_.BaseUrl()));
    EXPECT_EQ(0, RunWorker());
    EXPECT_EQ(3u, server_.RequestsFor("/new/Setup.exe").size());
    EXPECT_EQ(marker ? (std::vector<uint32_t>{60000, 60000, 60000}) : std::vector<uint32_t>{}, clock_.waits);
    EXPECT_EQ(kInitKindNewerFiles, Done().lParam);
    EXPECT_EQ(0u, Done().wParam);
    EXPECT_TRUE(server_.RequestsFor("/new/SetupLauncherV2.xml").empty());
    EXPECT_TRUE(Logged(L"以下のプログラムのダウンロードに失敗しました。(リトライ:2)"));
    EXPECT_TRUE(Logged(L"最新のインストーラーの取得に失敗しました。"));
  }
}

TEST_F(InitWorkerTest, NewLauncherButSettingsRefreshFails) {
  server_.SetRule("/new/SetupLauncherV2.xml", "status=404");
  server_.WriteFile("/SetupLauncherVer.xml", VersionFile(2000001, 5, 3, server_.BaseUrl()));
  EXPECT_EQ(1, RunWorker());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), sink_.Steps());
  EXPECT_EQ(1u, Done().wParam);
  EXPECT_EQ(kInitKindNewerFiles, Done().lParam);
  EXPECT_TRUE(Logged(L"アップデートに成功しました。"));
  EXPECT_FALSE(Logged(L"以下のコマンドを実行します。"));
  EXPECT_TRUE(machine_.ReadFile("started.txt").empty());
}

TEST_F(InitWorkerTest, UnsupportedSystems) {
  struct Row { int major, minor, productType; } rows[] = {{10, 0, 3}, {6, 3, 2}, {6, 0, 1}, {6, 1, 3}, {5, 1, 1}};
  for (const auto& row : rows) {
    sink_.messages.clear();
    machine_.SetWindows(row.major, row.minor, row.productType, 9, 1);
    server_.ClearRequests();
    EXPECT_EQ(0, RunWorker());
    EXPECT_TRUE(sink_.Steps().empty());
    EXPECT_EQ(kInitKindUnsupportedOs, Done().lParam);
    EXPECT_TRUE(server_.Requests().empty());
  }
  EXPECT_TRUE(Logged(L"サポート対象外のOSです。"));
}

TEST_F(InitWorkerTest, LocalInstallSkipsTheUpdateWithoutNetwork) {
  ctx_.Settings.InstallType = 1;
  EXPECT_EQ(0, RunWorker());
  EXPECT_EQ((std::vector<int>{9, 10}), sink_.Steps());
  EXPECT_EQ((std::vector<uint32_t>{1000, 500}), clock_.waits);
  EXPECT_EQ(static_cast<uintptr_t>(kInitSkipped), Done().wParam);
  EXPECT_EQ(0, Done().lParam);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_TRUE(Logged(L"バージョンアップは行いません。"));
}

}  // namespace
