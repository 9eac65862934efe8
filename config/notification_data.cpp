#include "config/notification_data.h"

#include <algorithm>
#include <cwctype>

#include "base/debug_log.h"
#include "base/text.h"
#include "config/xml_config_reader.h"
#include "platform/com.h"

namespace {

const wchar_t kVersionKey[] = L"NotificationDataSet/NotificationVersion/";
const wchar_t kCountKey[] = L"NotificationDataSet/NotificationDataValueCount/";
const wchar_t kRecordParent[] = L"NotificationDataSet/";
const wchar_t kRecordPrefix[] = L"NotificationDataValue";

// Condition values that mean "any system".
constexpr int32_t kAnyOs = 99;
constexpr int32_t kAnyOsOnPage = 97;

// Edition codes as in ProductType.
constexpr int32_t kTts = 1;
constexpr int32_t kTvg = 2;
constexpr int32_t kTns = 5;
constexpr int32_t kTtsp = 6;

// As the C runtime converts a decimal: leading blanks and a sign allowed,
// stops at the first non-digit, 0 without digits. Only the low 8 bits are
// kept by the caller, so the value wraps rather than saturates.
uint32_t LeadingDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - L'0');
  }
  return negative ? 0u - value : value;
}

bool IsTextCondition(int32_t conditionType) { return conditionType == 1 || conditionType == 5; }

bool OsConditionApplies(int32_t value, const NoticeFacts& facts, NoticeRule rule) {
  if (value == kAnyOs) return true;
  if (rule == NoticeRule::Page && value == kAnyOsOnPage) return true;
  return value == facts.SystemOsCode();
}

bool InstalledEditionConditionApplies(int32_t value, const NoticeFacts& facts) {
  if (facts.TtsOrTvgInstalled() && value == 1) return true;
  if (facts.EditionInstalled(kTts) && value == 2) return true;
  if (facts.EditionInstalled(kTvg) && value == 3) return true;
  if (facts.EditionInstalled(kTns) && value == 6) return true;
  if (facts.EditionInstalled(kTtsp) && value == 7) return true;
  if (facts.AnyEditionInstalled()) return false;
  return value == 0;
}

bool InstalledVersionConditionApplies(int32_t value, const NoticeFacts& facts, NoticeRule rule) {
  // The page knows the versions "3.0" to "10.0", the start-up count only "3.0" to "5.2".
  const int lastIndex = rule == NoticeRule::Page ? 10 : 5;
  for (int index = 1; index <= lastIndex; ++index) {
    if (value == index && facts.InstalledVersionIs(index)) return true;
  }
  if (value != 0) return false;
  return rule == NoticeRule::Page ? facts.AnyEditionInstalled() : facts.TtsOrTvgInstalled();
}

bool EditionToInstallConditionApplies(int32_t value, const NoticeFacts& facts) {
  switch (facts.ProductTypeToInstall()) {
    case kTts:
      return value == 1 || value == 2;
    case kTvg:
      return value == 1 || value == 3;
    case kTns:
      return value == 6;
    case kTtsp:
      return value == 7;
    default:
      return value == 0;
  }
}

}  // namespace

uint32_t ParseColor(const std::wstring& text) {
  if (text.empty()) return kInvalidColor;
  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(L',', start);
    pieces.push_back(text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  if (pieces.size() != 3) return kInvalidColor;
  const uint32_t red = LeadingDecimal(pieces[0]) & 0xFFu;
  const uint32_t green = LeadingDecimal(pieces[1]) & 0xFFu;
  const uint32_t blue = LeadingDecimal(pieces[2]) & 0xFFu;
  return red | (green << 8) | (blue << 16);
}

bool ReadNotificationHeader(const std::wstring& path, int32_t* version, int32_t* count) {
  platform::InitializeThreadComponents();
  XmlConfigReader reader;
  return reader.Load(path) && ReadNotificationHeader(reader, version, count);
}

bool ReadNotificationHeader(const XmlConfigReader& reader, int32_t* version, int32_t* count) {
  int32_t found = kXmlNotFound;
  const int32_t readVersion = reader.GetInt(kVersionKey, 0, &found);
  if (found == kXmlDomFailure) return false;
  const int32_t readCount = reader.GetInt(kCountKey, 0, &found);
  if (found == kXmlDomFailure) return false;
  if (version != nullptr) *version = readVersion;
  if (count != nullptr) *count = readCount;
  return true;
}

bool LoadNotificationHeader(const std::wstring& path, int32_t* version, int32_t* count) {
  if (!ReadNotificationHeader(path, version, count)) {
    return false;
  }
  Log().Info(L"通知データファイルを読み込みました。");
  return true;
}

bool ReadNotificationItems(const std::wstring& path, std::vector<NotificationItem>* items) {
  platform::InitializeThreadComponents();
  XmlConfigReader reader;
  return reader.Load(path) && ReadNotificationItems(reader, items);
}

bool ReadNotificationItems(const XmlConfigReader& reader, std::vector<NotificationItem>* items) {
  int32_t found = kXmlNotFound;
  // Compared as unsigned: a negative count reads every record present.
  const uint32_t count = static_cast<uint32_t>(reader.GetInt(kCountKey, 0, &found));
  if (found == kXmlDomFailure) return false;

  // A record missing from the file reads as empty and is dropped, so only the
  // records present are visited, in order: the same list, at a cost that
  // follows the size of the file whatever the count or the indexes.
  if (count == 0) return true;
  for (uint32_t n : reader.PresentIndexes(kRecordParent, kRecordPrefix, 2, count - 1)) {
    const std::wstring base =
        FormatText(L"NotificationDataSet/NotificationDataValue%02u/", static_cast<unsigned>(n));
    NotificationItem item;

    item.Title = reader.GetString(base + L"NFDTitle/", L"", &found);
    if (found == kXmlDomFailure) return false;
    ReplaceAll(&item.Title, L"_BR_", L"\r\n");

    item.Url = reader.GetString(base + L"NFDURL/", L"", &found);
    if (found == kXmlDomFailure) return false;

    const std::wstring color = reader.GetString(base + L"STRCOLOR/", L"0,0,0", &found);
    if (found == kXmlDomFailure) return false;
    item.Color = ParseColor(color);

    item.ConditionType = reader.GetInt(base + L"NFDConditionType/", 0, &found);
    if (found == kXmlDomFailure) return false;

    if (IsTextCondition(item.ConditionType)) {
      item.ConditionText = reader.GetString(base + L"NFDConditionValue/", L"", &found);
    } else {
      item.ConditionValue = reader.GetInt(base + L"NFDConditionValue/", 0, &found);
    }
    if (found == kXmlDomFailure) return false;

    // A record with nothing to show and no condition is a gap in the numbering.
    if (item.Title.empty() && item.Url.empty() && item.ConditionType == 0) continue;
    items->push_back(std::move(item));
  }
  return true;
}

bool IsNoticeApplicable(const NotificationItem& item, const NoticeFacts& facts, NoticeRule rule) {
  switch (item.ConditionType) {
    case 2:
      return OsConditionApplies(item.ConditionValue, facts, rule);
    case 3:
      return InstalledEditionConditionApplies(item.ConditionValue, facts);
    case 4:
      return InstalledVersionConditionApplies(item.ConditionValue, facts, rule);
    case 5: {
      std::wstring version;
      return facts.InstalledProductVersion(&version) && version == item.ConditionText;
    }
    case 6:
      return item.ConditionValue == 130 || item.ConditionValue == 131;
    case 7:
      return EditionToInstallConditionApplies(item.ConditionValue, facts);
    default:
      return false;
  }
}

int32_t CountApplicableNotices(const std::wstring& path, const NoticeFacts& facts) {
  std::vector<NotificationItem> items;
  if (!ReadNotificationItems(path, &items)) return 0;
  int32_t applicable = 0;
  for (const NotificationItem& item : items) {
    if (IsNoticeApplicable(item, facts, NoticeRule::StartUp)) ++applicable;
  }
  return applicable;
}
