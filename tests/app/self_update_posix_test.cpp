// The self-update round trip with real processes: the first launcher finds a
// newer launcher on the download server, starts it with "/N /O", and the new
// one ends the first and carries on to the wizard.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/utf.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/log_reader.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

std::string Settings(const std::wstring& server, int xmlVersion, const std::string& packageVersion) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData><LaunchBase><ProductType>5</ProductType>"
         "<DownloaderVersion>2000000</DownloaderVersion><SetupLauncherXMLVersion>" +
         std::to_string(xmlVersion) + "</SetupLauncherXMLVersion><PackageVersionWin>" + packageVersion +
         "</PackageVersionWin></LaunchBase><DownloadServerData><DownloadServerCount>1</DownloadServerCount>"
         "<DownloadServer0>" + platform::WideToUtf8(server) + "</DownloadServer0></DownloadServerData></LaunchData>";
}

TEST(SelfUpdate, NewLauncherEndsTheFirstAndCarriesOnWithTheDownloadedSettings) {
  SimMachine machine;
  tavo_test::LoopbackServer server;
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  const std::wstring base = server.BaseUrl();
  const std::string b = platform::WideToUtf8(base);

  // The server: a newer launcher (this very build), newer settings and notices.
  server.WriteFile("/SetupLauncherVer.xml",
                   "<SetupLauncherVer><SetupLauncherVerData><LastVersion>2000001</LastVersion>"
                   "<SetupNotificationVersion>1</SetupNotificationVersion><SetupLauncherXMLVersion>2</SetupLauncherXMLVersion>"
                   "<SetupLauncherURL>" + b + "new/SetupLauncherV2.xml</SetupLauncherURL>"
                   "<SetupNotificationURL>" + b + "new/SetupNotification.xml</SetupNotificationURL>"
                   "<SetupExe>" + b + "new/Setup.exe</SetupExe></SetupLauncherVerData></SetupLauncherVer>");
  server.WriteFile("/new/Setup.exe", ReadFileBytes(TAVO_SETUP_EXE));
  server.WriteFile("/new/SetupLauncherV2.xml", Settings(base, 2, "11.0"));
  server.WriteFile("/new/SetupNotification.xml",
                   "<NotificationDataSet><NotificationVersion>1</NotificationVersion>"
                   "<NotificationDataValueCount>1</NotificationDataValueCount><NotificationDataValue00>"
                   "<NFDTitle>New notice</NFDTitle><NFDURL>https://example.invalid/</NFDURL>"
                   "<NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue>"
                   "</NotificationDataValue00></NotificationDataSet>");

  // The first launcher, in a folder with a blank in its name.
  const std::string folder = machine.folder() + "Launcher Folder/";
  ASSERT_EQ(0, system(("mkdir -p '" + folder + "'").c_str()));
  ASSERT_TRUE(tavo_test::CopyFileTo(TAVO_SETUP_EXE, folder + "Setup.exe", true));
  machine.WriteFile("Launcher Folder/SetupLauncherV2.xml", Settings(base, 1, "10.0"));

  // Its input stays open, so that it waits in its wizard until the new launcher ends it.
  int in[2], out[2];
  ASSERT_EQ(0, pipe(in));
  ASSERT_EQ(0, pipe(out));
  pid_t first = fork();
  if (first == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[1]);
    close(out[0]);
    setenv("SETUP_MACHINE", machine.folder().c_str(), 1);
    std::string exe = folder + "Setup.exe";
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);

  const std::wstring logPath = machine.TempFolder() + L"TAVODebugLog.txt";
  auto logged = [&](const std::wstring& text) {
    return tavo_test::FindEntry(tavo_test::ReadDebugLog(logPath), text) >= 0;
  };
  std::string output;
  auto drain = [&](int timeoutMs) {
    struct pollfd p = {out[0], POLLIN, 0};
    if (poll(&p, 1, timeoutMs) > 0) {
      char buffer[4096];
      ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n > 0) output.append(buffer, static_cast<size_t>(n));
      return n > 0;
    }
    return true;
  };

  // The first launcher must end, ended by the second.
  int status = 0;
  bool firstEnded = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!firstEnded && std::chrono::steady_clock::now() < deadline) {
    drain(50);
    firstEnded = waitpid(first, &status, WNOHANG) == first;
  }
  if (!firstEnded) kill(first, SIGKILL);
  ASSERT_TRUE(firstEnded) << output;
  EXPECT_TRUE(WIFSIGNALED(status)) << "the first launcher ended by itself";
  EXPECT_EQ(SIGKILL, WIFSIGNALED(status) ? WTERMSIG(status) : 0);

  // The second shows its wizard; end of input then closes it.
  deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (output.find("New notice") == std::string::npos && std::chrono::steady_clock::now() < deadline) drain(50);
  close(in[1]);
  while (drain(1000) && std::chrono::steady_clock::now() < deadline + std::chrono::seconds(30)) {
  }
  close(out[0]);

  auto log = tavo_test::ReadDebugLog(logPath);
  const auto texts = tavo_test::EntryTexts(log);
  EXPECT_TRUE(log.crlfEverywhere);
  EXPECT_EQ(1, log.byteOrderMarks);
  const std::wstring temp = machine.TempFolder();
  const std::wstring sourceSettings = platform::Utf8ToWide(folder) + L"SetupLauncherV2.xml";
  EXPECT_TRUE(logged(temp + L"Setup.exe /N /O \"" + sourceSettings + L"\"")) << output;
  EXPECT_TRUE(logged(L"プログラムを起動しました。"));
  EXPECT_TRUE(logged(L"アップグレード元プロセスを終了させました。"));
  // Two runs started; the second one got to the end.
  int starts = 0, ends = 0;
  for (const auto& t : texts) {
    starts += t == L"プログラムを開始します。";
    ends += t == L"プログラムを終了します。";
  }
  EXPECT_EQ(2, starts);
  EXPECT_EQ(1, ends);
  // The second read the downloaded settings (version 11.0) under the first one's base values.
  const int ended = tavo_test::FindEntry(log, L"アップグレード元プロセスを終了させました。");
  ASSERT_GE(ended, 0);
  EXPECT_GT(tavo_test::FindEntry(log, L"インストールを行う製品バージョン：11.0", static_cast<size_t>(ended)), ended)
      << output;
  EXPECT_NE(std::string::npos, output.find("=== 重要なお知らせ ==="));
  // Only the new launcher opened a wizard; the first one waited to be ended.
  EXPECT_EQ(output.find("=== 重要なお知らせ ==="), output.rfind("=== 重要なお知らせ ==="));
  EXPECT_TRUE(logged(L"新しいインストーラーに処理を引き継ぎます。"));
  EXPECT_NE(std::string::npos, output.find("New notice"));
}

}  // namespace
