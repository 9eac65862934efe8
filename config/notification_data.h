#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/notification_item.h"

class XmlConfigReader;


// The colour value of a STRCOLOR text that is not three numbers.
constexpr uint32_t kInvalidColor = 0xFFFFFFFFu;

// "r,g,b" in decimal -> red | green << 8 | blue << 16 (each number's low
// 8 bits); anything but exactly three comma-separated pieces gives kInvalidColor.
uint32_t ParseColor(const std::wstring& text);

// Reads NotificationVersion and NotificationDataValueCount of a notification
// data file. False when the file cannot be opened or a read fails; the
// outputs are then left as they were.
bool ReadNotificationHeader(const std::wstring& path, int32_t* version, int32_t* count);
bool ReadNotificationHeader(const XmlConfigReader& file, int32_t* version, int32_t* count);

// The header of the file at NotificationPath into NotificationVersion and
// NotificationCount; logs the success line. The caller logs a failure.
bool LoadNotificationHeader(const std::wstring& path, int32_t* version, int32_t* count);

// Appends the kept notices of the file, in file order. False when the file
// cannot be opened or a read fails; notices read before a failure stay.
bool ReadNotificationItems(const std::wstring& path, std::vector<NotificationItem>* items);
bool ReadNotificationItems(const XmlConfigReader& file, std::vector<NotificationItem>* items);

// What the notice conditions ask of this machine and run. The machine's
// answers come from the environment checks (env/notice_conditions.h).
class NoticeFacts {
 public:
  virtual ~NoticeFacts() = default;
  virtual int32_t SystemOsCode() const = 0;
  // Edition codes as in ProductType: 1 TTS, 2 TVG, 5 TNS, 6 TTSP.
  virtual bool EditionInstalled(int32_t edition) const = 0;
  virtual bool AnyEditionInstalled() const = 0;
  virtual bool TtsOrTvgInstalled() const = 0;
  // Index of the version table, 1 "3.0" ... 10 "10.0".
  virtual bool InstalledVersionIs(int index) const = 0;
  virtual bool InstalledProductVersion(std::wstring* version) const = 0;
  // ProductType of the launcher settings: the edition to be installed.
  virtual int32_t ProductTypeToInstall() const = 0;
};

// Which of the two rules decides.
enum class NoticeRule {
  Page,     // the notices page fills its list
  StartUp,  // the start-up sequence decides whether the page is shown
};

bool IsNoticeApplicable(const NotificationItem& item, const NoticeFacts& facts, NoticeRule rule);
// How many notices of the file pass the start-up rule; 0 when it cannot be read.
int32_t CountApplicableNotices(const std::wstring& path, const NoticeFacts& facts);
