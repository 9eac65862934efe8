#pragma once
#include <cstdint>
#include <string>

#include "config/notification_data.h"

struct LaunchSettings;

// The machine's answers to the notice conditions: operating-system code and
// installed edition and version, asked afresh on every call, and the edition
// that the launcher settings install.
class MachineNoticeFacts : public NoticeFacts {
 public:
  explicit MachineNoticeFacts(int32_t productTypeToInstall) : productType_(productTypeToInstall) {}
  int32_t SystemOsCode() const override;
  bool EditionInstalled(int32_t edition) const override;
  bool AnyEditionInstalled() const override;
  bool TtsOrTvgInstalled() const override;
  bool InstalledVersionIs(int index) const override;
  bool InstalledProductVersion(std::wstring* version) const override;
  int32_t ProductTypeToInstall() const override { return productType_; }

 private:
  int32_t productType_;
};

// The notices page's rule on this machine.
bool IsNoticeApplicable(const NotificationItem& item, const LaunchSettings& settings);
// The start-up count on this machine.
int32_t CountApplicableNotices(const std::wstring& path, const LaunchSettings& settings);
