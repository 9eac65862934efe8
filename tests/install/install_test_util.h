#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/window_messages.h"
#include "net/download_notify.h"
#include "net/wait_clock.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"

namespace install_test {

// A window that records what the install thread sends it, from any thread.
class RecordingSink : public MessageSink {
 public:
  struct Message {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    std::wstring text;  // the progress text of WM_DOWNLOAD_PROGRESS
    std::thread::id thread;
  };

  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Message m{message, wParam, lParam, std::wstring(), std::this_thread::get_id()};
    if (message == WM_DOWNLOAD_PROGRESS && lParam != 0) m.text = reinterpret_cast<const wchar_t*>(lParam);
    std::lock_guard<std::mutex> hold(lock_);
    messages_.push_back(m);
    return 0;
  }

  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    messages_.clear();
  }
  std::vector<Message> Messages() const {
    std::lock_guard<std::mutex> hold(lock_);
    return messages_;
  }
  // The step numbers in the order they were sent.
  std::vector<int> Steps() const {
    std::vector<int> steps;
    for (const Message& m : Messages()) {
      if (m.message == WM_INSTALL_STEP) steps.push_back(static_cast<int>(m.wParam));
    }
    return steps;
  }
  int DoneCount() const {
    int n = 0;
    for (const Message& m : Messages()) n += m.message == WM_INSTALL_DONE;
    return n;
  }
  bool DoneIsLast() const {
    std::vector<Message> all = Messages();
    return !all.empty() && all.back().message == WM_INSTALL_DONE;
  }
  int32_t Result() const { return DoneIsLast() ? static_cast<int32_t>(Messages().back().lParam) : -999; }
  int32_t Detail() const {
    return DoneIsLast() ? static_cast<int32_t>(static_cast<intptr_t>(Messages().back().wParam)) : -999;
  }
  // The progress texts sent between two steps.
  std::vector<std::wstring> ProgressBetween(int afterStep, int beforeStep) const {
    std::vector<std::wstring> texts;
    int last = 0;
    for (const Message& m : Messages()) {
      if (m.message == WM_INSTALL_STEP) last = static_cast<int>(m.wParam);
      if (m.message == WM_DOWNLOAD_PROGRESS && last == afterStep) texts.push_back(m.text);
      if (last == beforeStep) break;
    }
    return texts;
  }

 private:
  mutable std::mutex lock_;
  std::vector<Message> messages_;
};

// Records the waits instead of sleeping.
class RecordingClock : public WaitClock {
 public:
  void Wait(uint32_t milliseconds) override { waits.push_back(milliseconds); }
  std::vector<uint32_t> waits;
};

inline std::vector<int> StepsUpTo(int last) {
  std::vector<int> steps;
  for (int i = 1; i <= last; ++i) steps.push_back(i);
  return steps;
}

// One package of DownloadConfig.xml; the defaults make it applicable everywhere.
struct ConfigPackage {
  std::wstring url;
  std::wstring fileName;
  std::wstring version = L"9.0.1.2";
  std::wstring name = L"TAVO Total Shield";
  std::wstring hash = L"0";
  std::wstring saveFilePath;
  std::wstring execCommand;
  int execType = 1;
  int errorSkip = 0;
  int execSuccessCode = 0;
  int architecture = 99;
  int productType = 99;
  unsigned fileSizeKb = 1;
};

inline std::string XmlText(const std::wstring& text) {
  std::string out;
  for (char c : platform::WideToUtf8(text)) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out.push_back(c);
  }
  return out;
}

inline std::string DownloadConfigXml(const std::vector<ConfigPackage>& packages) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<DownloadConfig>\n";
  xml += "<PackageDownloadServerCount>" + std::to_string(packages.size()) + "</PackageDownloadServerCount>\n";
  char tag[32];
  for (size_t i = 0; i < packages.size(); ++i) {
    const ConfigPackage& p = packages[i];
    std::snprintf(tag, sizeof(tag), "Package%02zu", i);
    auto item = [&](const char* key, const std::string& value) {
      if (!value.empty()) xml += std::string("  <") + key + ">" + value + "</" + key + ">\n";
    };
    xml += std::string("<") + tag + ">\n";
    item("PackageDownloadURL", XmlText(p.url));
    item("PackageVersion", XmlText(p.version));
    item("PackageName", XmlText(p.name));
    item("SaveFilePath", XmlText(p.saveFilePath));
    item("ExecCommand", XmlText(p.execCommand));
    item("PackageHash", XmlText(p.hash));
    item("PackageFileName", XmlText(p.fileName));
    item("ExecType", std::to_string(p.execType));
    item("ErrorSkip", std::to_string(p.errorSkip));
    item("ExecSuccessCode", std::to_string(p.execSuccessCode));
    item("Architecture", std::to_string(p.architecture));
    item("ProductType", std::to_string(p.productType));
    item("PackageFileSize", std::to_string(p.fileSizeKb));
    xml += std::string("</") + tag + ">\n";
  }
  return xml + "</DownloadConfig>\n";
}

// The entries of the debug log, error entries without their " (ERRORCODE n)".
inline std::vector<std::wstring> LogTexts(const tavo_test::LogCapture& log) {
  std::vector<std::wstring> texts;
  for (const auto& entry : log.Entries()) {
    std::wstring text = entry.text;
    size_t code = text.rfind(L" (ERRORCODE ");
    if (entry.error && code != std::wstring::npos) text.erase(code);
    texts.push_back(text);
  }
  return texts;
}

// The lines appear in this order (others may stand between them).
inline ::testing::AssertionResult LogHasInOrder(const tavo_test::LogCapture& log,
                                               const std::vector<std::wstring>& lines) {
  const std::vector<std::wstring> texts = LogTexts(log);
  size_t at = 0;
  for (const std::wstring& line : lines) {
    while (at < texts.size() && texts[at] != line) ++at;
    if (at == texts.size()) {
      return ::testing::AssertionFailure() << "missing or out of order: " << platform::WideToUtf8(line);
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

inline int CountInLog(const tavo_test::LogCapture& log, const std::wstring& line) {
  int n = 0;
  for (const std::wstring& text : LogTexts(log)) n += text == line;
  return n;
}

}  // namespace install_test
