#pragma once
// A wizard view that records what the controller shows and answers its boxes as told.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_box.h"
#include "ui/wizard_controller.h"

namespace tavo_test {

struct Box {
  BoxOwner owner;
  std::wstring text, caption;
  uint32_t type;
};

class FakeView : public WizardView, public MessageSink {
 public:
  bool ApplyScreen(const ScreenState& screen) override { return screens.push_back(screen), backgroundLoads; }
  void SetStatusLine(const std::wstring&) override {}
  int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) override {
    boxes.push_back({owner, text, caption, type});
    ++openBoxes;
    if (auto hook = std::move(whileBoxOpen)) whileBoxOpen = nullptr, hook();  // once
    return --openBoxes, answer;
  }
  void CloseMainWindow() override { ++mainClosed; }
  bool CloseWindowTitled(const std::wstring& title) override { return closedTitles.push_back(title), openBoxes > 0 && boxFindable; }
  bool Minimize() override { return ++minimized, minimizeWorks; }
  void SetTopmost(bool topmost) override { topmost_ = topmost; }
  MessageSink* StatusSink() override { return statusPage ? this : nullptr; }
  int32_t ScreenWidth() const override { return 1024; }
  int32_t ScreenHeight() const override { return 768; }
  intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }
  std::vector<ScreenState> screens;
  std::vector<Box> boxes;
  std::vector<std::wstring> closedTitles;
  std::function<void()> whileBoxOpen;
  int openBoxes = 0, answer = platform::kIdYes, mainClosed = 0, minimized = 0;
  bool backgroundLoads = true, minimizeWorks = true, topmost_ = false, boxFindable = true, statusPage = true;
};

}  // namespace tavo_test
