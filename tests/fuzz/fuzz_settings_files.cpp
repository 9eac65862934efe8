// The launcher's own XML files: settings, notices and download configuration.
#include "config/download_config.h"
#include "config/launch_settings.h"
#include "config/notification_data.h"
#include "config/xml_config_reader.h"
#include "tests/fuzz/fuzz_common.h"

namespace {
class Facts : public NoticeFacts {
 public:
  int32_t SystemOsCode() const override { return 26; }
  bool EditionInstalled(int32_t edition) const override { return edition == 5; }
  bool AnyEditionInstalled() const override { return true; }
  bool TtsOrTvgInstalled() const override { return false; }
  bool InstalledVersionIs(int index) const override { return index == 10; }
  bool InstalledProductVersion(std::wstring* v) const override {
    *v = L"10.0.2032.10";
    return true;
  }
  int32_t ProductTypeToInstall() const override { return 5; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One parse serves every reader, as each would parse the same bytes alike.
  XmlConfigReader file;
  if (!file.LoadBytes(FuzzBytes(data, size))) return 0;
  LaunchSettings settings;
  LoadLaunchSettings(&settings, file, SettingsPart::kEveryValue);
  LoadLaunchSettings(&settings, file, SettingsPart::kAllButBase);
  LoadLaunchBase(&settings, file);

  std::vector<NotificationItem> items;
  ReadNotificationItems(file, &items);
  Facts facts;
  for (const auto& item : items) {
    IsNoticeApplicable(item, facts, NoticeRule::Page);
    IsNoticeApplicable(item, facts, NoticeRule::StartUp);
  }
  int32_t version = 0, count = 0;
  ReadNotificationHeader(file, &version, &count);

  std::vector<PackageEntry> packages;
  ParseDownloadConfig(file, &packages);
  return 0;
}
