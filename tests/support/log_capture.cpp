#include "tests/support/log_capture.h"

#include "base/debug_log.h"
#include "tests/support/log_reader.h"

namespace tavo_test {

LogCapture::LogCapture() : path_(dir_.File(L"TAVODebugLog.txt")) {
  previousPath_ = Log().Path();
  previousEnabled_ = Log().Enabled();
  Log().SetPath(path_);
  Log().SetEnabled(true);
}

LogCapture::~LogCapture() {
  Log().SetPath(previousPath_);
  Log().SetEnabled(previousEnabled_);
}

std::vector<std::wstring> LogCapture::Texts() const { return EntryTexts(ReadDebugLog(path_)); }

}  // namespace tavo_test
