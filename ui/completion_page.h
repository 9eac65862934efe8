#pragma once
#include <cstdint>
#include <string>

#include "ui/help_links.h"

struct RunResult;

struct PixelRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

// The six images of a bitmap button, in the order the controls take them.
struct ButtonImages {
  int32_t normal = 0, pressed = 0, focus = 0, hover = 0, hoverFocus = 0, disabled = 0;
};

struct ButtonLayout {
  bool shown = false;
  std::wstring caption;  // carries the mnemonic
  int32_t x = 0, y = 0;
  ButtonImages images;
};

// Everything the completion page shows for one result, as the page decides it;
// the front ends only draw it.
struct CompletionLayout {
  bool inFrame = false;
  int32_t background = 0;
  int32_t iconX = 0, iconY = 0;
  std::wstring headline;
  bool headlineIsPageTitle = false;  // page-title style inside the frame, title style on the error screen
  int32_t headlineX = 0, headlineY = 0;
  std::wstring body;
  PixelRect bodyRect;
  // The help link ends at helpLinkRightEdge; it grows to the left with its caption.
  bool helpLinkShown = false;
  std::wstring helpLinkCaption;
  PixelRect helpLinkArea;
  int32_t helpLinkRightEdge = 0;
  HelpPage helpPage = HelpPage::None;
  std::wstring helpUrl;
  // "プログラムのダウンロード" and "インストール手順" (result 9 only).
  bool downloadLinksShown = false;
  PixelRect downloadLinkRect, procedureLinkRect;
  std::wstring downloadUrl, procedureUrl;
  ButtonLayout finish;    // 1056: "完了（&N）" or "終了（&N）"
  ButtonLayout resume;    // 1059: "インストールの続行(&C)" for result 13
  ButtonLayout minimize;  // 1047, hidden inside the frame (the frame's own serve)
  ButtonLayout close;     // 1046
  bool focusOnContinue = false;
};

extern const wchar_t kDownloadLinkCaption[];
extern const wchar_t kProcedureLinkCaption[];

// The layout for the run state (ResultCode, ResultDetail, InstallerMessage,
// DetectedConflictNames, ProductType), inside the frame or as the error screen.
CompletionLayout BuildCompletionLayout(const RunResult& result, int32_t productType, bool inFrame);

// Parts of the layout, for the pages and tests.
std::wstring CompletionHeadline(int32_t resultCode);
std::wstring HelpLinkCaption(int32_t resultCode);  // empty when no help link is shown
std::wstring CompletionBody(const RunResult& result);
// Up to three names joined by " および "; the conflict detection's fallback name when there are none.
std::wstring JoinConflictNames(const RunResult& result);
