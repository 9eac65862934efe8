#include "env/notice_conditions.h"

#include "config/launch_settings.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"

int32_t MachineNoticeFacts::SystemOsCode() const { return GetOsCode(); }

bool MachineNoticeFacts::EditionInstalled(int32_t edition) const {
  switch (edition) {
    case static_cast<int32_t>(ProductEdition::TTS):
    case static_cast<int32_t>(ProductEdition::TVG):
    case static_cast<int32_t>(ProductEdition::TNS):
    case static_cast<int32_t>(ProductEdition::TTSP):
      return IsEditionInstalled(static_cast<ProductEdition>(edition));
    default:
      return false;
  }
}

bool MachineNoticeFacts::AnyEditionInstalled() const { return IsAnyEditionInstalled(); }

bool MachineNoticeFacts::TtsOrTvgInstalled() const { return IsTtsOrTvgInstalled(); }

bool MachineNoticeFacts::InstalledVersionIs(int index) const { return ::InstalledVersionIs(index); }

bool MachineNoticeFacts::InstalledProductVersion(std::wstring* version) const {
  return GetInstalledProductVersion(version);
}

bool IsNoticeApplicable(const NotificationItem& item, const LaunchSettings& settings) {
  return IsNoticeApplicable(item, MachineNoticeFacts(settings.ProductType), NoticeRule::Page);
}

int32_t CountApplicableNotices(const std::wstring& path, const LaunchSettings& settings) {
  return CountApplicableNotices(path, MachineNoticeFacts(settings.ProductType));
}
