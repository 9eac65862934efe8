// Decision rules of the environment checks that need no machine.
#include <gtest/gtest.h>

#include "env/conflict_detection.h"
#include "env/installed_edition.h"
#include "env/security_center.h"

namespace {

TEST(CompareVersions, Table) {
  const std::tuple<const wchar_t*, const wchar_t*, int> rows[] = {
      {L"9.0.2032.2", L"9.0.2032.2", kVersionsEqual},   {L"9.0.2032.10", L"9.0.2032.2", kVersionNewer},  // numbers
      {L"9.0.2032.2", L"9.0.2032.10", kVersionOlder},   {L"10.0.0.0", L"9.9.9999.9999", kVersionNewer},
      {L"1.2.3.4", L"1.2.4.0", kVersionOlder},          {L"1.3.0.0", L"1.2.9.9", kVersionNewer},
      {L"2.0.0.0", L"10.0.0.0", kVersionOlder},         {L"0.0.0.0", L"9.0.2032.2", kVersionOlder},
      // Empty parts count as 0; a part converts by its leading digits.
      {L"9..2032.2", L"9.0.2032.2", kVersionsEqual},    {L"...", L"0.0.0.0", kVersionsEqual},
      {L"9.0.2032.2a", L"9.0.2032.2", kVersionsEqual},  {L"9.0.2032.b", L"9.0.2032.0", kVersionsEqual},
      // Parts compare as unsigned 32-bit numbers; an overlong part does not wrap round to a small one.
      {L"4294967295.0.0.0", L"1.0.0.0", kVersionNewer}, {L"99999999999.0.0.0", L"4294967295.0.0.0", kVersionsEqual},
      // Anything but four parts.
      {L"9.0", L"9.0.2032.2", kVersionInvalid},         {L"9.0.2032.2", L"9.0", kVersionInvalid},
      {L"9.0.2032", L"9.0.2032", kVersionInvalid},      {L"9.0.2032.2.1", L"9.0.2032.2", kVersionInvalid},
      {L"", L"0.0.0.0", kVersionInvalid},               {L"0.0.0.0", L"", kVersionInvalid}};
  for (const auto& [a, b, expected] : rows) EXPECT_EQ(expected, CompareVersions(a, b)) << a << " / " << b;
}

TEST(SecurityCenterProductState, Decoding) {
  // productState -> enabled (second-lowest byte 0x10 or 0x11), up to date (lowest byte 0); higher bytes do not matter.
  const std::tuple<uint32_t, bool, bool> rows[] = {
      {0x00001000u, true, true},   {0x00000010u, false, false}, {0x00001100u, true, true},   {0x00001110u, true, false},
      {0x00266100u, false, true},  {0x00041000u, true, true},   {0x00060100u, false, true},  {0x00001001u, true, false},
      {0x00000000u, false, true},  {0xFFFF10FFu, true, false}};
  for (const auto& [state, enabled, upToDate] : rows) {
    for (bool hasState : {true, false}) {
      SecurityCenterProduct product;
      product.ProductState = state;
      product.HasState = hasState;
      DeriveProductState(&product);
      // Without a state read nothing is derived, whatever the number holds.
      EXPECT_EQ(hasState && enabled, product.Enabled) << std::hex << state << " " << hasState;
      EXPECT_EQ(hasState && upToDate, product.UpToDate) << std::hex << state << " " << hasState;
    }
  }
}

TEST(ConflictNameMatching, LowerForMatchIsTheSameOnBothBuilds) {
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"Contoso AntiVirus 2024", L"contoso antivirus 2024"}, {L"ÉCLAIR Sécurité", L"éclair sécurité"},
      {L"ＡＢＣウイルスバスター", L"ａｂｃウイルスバスター"},  {L"ΑΝΤΙ ВИРУС Ёж", L"αντι вирус ёж"},
      {L"ŁÓDŹ Ÿ", L"łódź ÿ"}, {L"×÷ 123", L"×÷ 123"}, {L"", L""}};
  for (const auto& [text, lower] : rows) EXPECT_EQ(std::wstring(lower), LowerForMatch(text)) << text;
}

}  // namespace
