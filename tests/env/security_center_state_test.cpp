#include <gtest/gtest.h>

#include "env/conflict_detection.h"
#include "env/security_center.h"

namespace {

struct StateRow {
  uint32_t state;
  bool hasState;
  bool enabled;
  bool upToDate;
};

const StateRow kRows[] = {
    {0x00001000u, true, true, true},    // second-lowest byte 0x10, lowest 0x00
    {0x00000010u, true, false, false},  // second-lowest 0x00, lowest 0x10
    {0x00001100u, true, true, true},    // 0x11 counts as enabled
    {0x00001110u, true, true, false},
    {0x00266100u, true, false, true},   // 0x61: neither enabled value
    {0x00041000u, true, true, true},    // higher bytes do not matter
    {0x00060100u, true, false, true},
    {0x00001001u, true, true, false},
    {0x00000000u, true, false, true},
    {0xFFFF10FFu, true, true, false},
    {0x00001000u, false, false, false},  // no state read: nothing derived
};

TEST(SecurityCenterProductState, Derivation) {
  for (const StateRow& row : kRows) {
    SecurityCenterProduct product;
    product.ProductState = row.state;
    product.HasState = row.hasState;
    DeriveProductState(&product);
    EXPECT_EQ(row.enabled, product.Enabled) << std::hex << row.state << " has=" << row.hasState;
    EXPECT_EQ(row.upToDate, product.UpToDate) << std::hex << row.state << " has=" << row.hasState;
  }
}

TEST(SecurityCenterProductState, InitialValues) {
  SecurityCenterProduct product;
  EXPECT_FALSE(product.Valid);
  EXPECT_FALSE(product.HasState);
  EXPECT_FALSE(product.Enabled);
  EXPECT_FALSE(product.UpToDate);
  EXPECT_EQ(0u, product.ProductState);
  EXPECT_TRUE(product.DisplayName.empty());
}

TEST(ConflictNameMatching, LowerForMatch) {
  struct Row {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Row rows[] = {
      {L"Contoso AntiVirus 2024", L"contoso antivirus 2024"},
      {L"ÉCLAIR Sécurité", L"éclair sécurité"},
      {L"ＡＢＣウイルスバスター", L"ａｂｃウイルスバスター"},
      {L"ΑΝΤΙ ВИРУС Ёж", L"αντι вирус ёж"},
      {L"ŁÓDŹ Ÿ", L"łódź ÿ"},
      {L"×÷ 123", L"×÷ 123"},
      {L"", L""},
  };
  for (const Row& row : rows) EXPECT_EQ(std::wstring(row.out), LowerForMatch(row.in)) << row.in;
}

}  // namespace
