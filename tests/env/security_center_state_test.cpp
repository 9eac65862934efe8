#include <gtest/gtest.h>

#include "env/conflict_detection.h"
#include "env/security_center.h"

namespace {

TEST(SecurityCenterProductState, Decoding) {
  struct Row {
    uint32_t state;
    bool hasState, enabled, upToDate;
  } rows[] = {
      {0x00001000u, true, true, true},    // second-lowest byte 0x10, lowest 0x00
      {0x00000010u, true, false, false},  // second-lowest 0x00, lowest 0x10
      {0x00001100u, true, true, true},    // 0x11 counts as enabled
      {0x00001110u, true, true, false},   {0x00266100u, true, false, true},  // 0x61: neither enabled value
      {0x00041000u, true, true, true},    // higher bytes do not matter
      {0x00060100u, true, false, true},   {0x00001001u, true, true, false},
      {0x00000000u, true, false, true},   {0xFFFF10FFu, true, true, false},
      // No state read: nothing is derived, whatever the number holds.
      {0x00001000u, false, false, false},
  };
  for (const auto& row : rows) {
    SecurityCenterProduct product;
    product.ProductState = row.state;
    product.HasState = row.hasState;
    if (row.hasState) {  // answers from an earlier reading must be overwritten
      product.Enabled = !row.enabled;
      product.UpToDate = !row.upToDate;
    }
    DeriveProductState(&product);
    EXPECT_EQ(row.enabled, product.Enabled) << std::hex << row.state << " has=" << row.hasState;
    EXPECT_EQ(row.upToDate, product.UpToDate) << std::hex << row.state << " has=" << row.hasState;
  }
}

TEST(ConflictNameMatching, LowerForMatch) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"Contoso AntiVirus 2024", L"contoso antivirus 2024"}, {L"ÉCLAIR Sécurité", L"éclair sécurité"},
      {L"ＡＢＣウイルスバスター", L"ａｂｃウイルスバスター"},  {L"ΑΝΤΙ ВИРУС Ёж", L"αντι вирус ёж"},
      {L"ŁÓDŹ Ÿ", L"łódź ÿ"},                                  {L"×÷ 123", L"×÷ 123"},
      {L"", L""},
  };
  for (const auto& row : rows) EXPECT_EQ(std::wstring(row.second), LowerForMatch(row.first)) << row.first;
}

}  // namespace
