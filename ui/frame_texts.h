#pragma once
#include <string>

// The fixed texts of the frame and of its notices and status pages, as every
// front end shows them; captions carry their mnemonic marker. The completion
// page's texts come with its layout (BuildCompletionLayout).
struct FrameTexts {
  std::wstring noticesTitle;
  std::wstring noticesDescription;
  std::wstring noticesWarning;   // drawn in the warning colour
  std::wstring noticesInstruction;
  std::wstring confirmCaption;   // the notices page's button
  std::wstring statusTitle;
  std::wstring minimizeCaption;  // the frame's own buttons
  std::wstring closeCaption;
  // The step column's indicators: notices, installation, completion.
  std::wstring stepNames[3];
};

const FrameTexts& FramePageTexts();

// The wizard's pages, whose set-up every front end logs the same way.
enum class WizardPage { Notices, Status, Completion };
// Logs the start of a page's set-up.
void LogPageSetup(WizardPage page);
// What a page logs, and shows, when its background or controls fail.
extern const wchar_t kBackgroundSetupFailed[];
extern const wchar_t kControlSetupFailed[];
