#include <gtest/gtest.h>

#include <set>

#include "env/installed_edition.h"

namespace {

TEST(CompareVersions, Table) {
  struct Row {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
  } rows[] = {
      {L"9.0.2032.2", L"9.0.2032.2", kVersionsEqual},   {L"9.0.2032.10", L"9.0.2032.2", kVersionNewer},  // numbers, not text
      {L"9.0.2032.2", L"9.0.2032.10", kVersionOlder},   {L"10.0.0.0", L"9.9.9999.9999", kVersionNewer},
      {L"1.2.3.4", L"1.2.4.0", kVersionOlder},          {L"1.3.0.0", L"1.2.9.9", kVersionNewer},
      {L"2.0.0.0", L"10.0.0.0", kVersionOlder},         {L"0.0.0.0", L"0.0.0.0", kVersionsEqual},
      {L"0.0.0.0", L"9.0.2032.2", kVersionOlder},
      // Empty parts count as 0; a part converts by its leading digits.
      {L"9..2032.2", L"9.0.2032.2", kVersionsEqual},    {L"...", L"0.0.0.0", kVersionsEqual},
      {L"9.0.2032.2a", L"9.0.2032.2", kVersionsEqual},  {L"9.0.2032.b", L"9.0.2032.0", kVersionsEqual},
      // Parts compare as unsigned 32-bit numbers; an overlong part does not wrap round to a small one.
      {L"4294967295.0.0.0", L"1.0.0.0", kVersionNewer}, {L"99999999999.0.0.0", L"4294967295.0.0.0", kVersionsEqual},
      // Anything but four parts.
      {L"9.0", L"9.0.2032.2", kVersionInvalid},         {L"9.0.2032.2", L"9.0", kVersionInvalid},
      {L"9.0.2032", L"9.0.2032", kVersionInvalid},      {L"9.0.2032.2.1", L"9.0.2032.2", kVersionInvalid},
      {L"", L"0.0.0.0", kVersionInvalid},               {L"0.0.0.0", L"", kVersionInvalid},
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, CompareVersions(row.a, row.b)) << row.a << " / " << row.b;
}

// The editions and the version table are facts of the product line; what the
// launcher relies on is that every entry is there and tells the others apart.
TEST(ProductEdition, EveryEditionAndVersionEntryIsDistinct) {
  std::set<std::wstring> codes, names, prefixes;
  for (ProductEdition e : {ProductEdition::TTS, ProductEdition::TVG, ProductEdition::TNS, ProductEdition::TTSP}) {
    EXPECT_TRUE(codes.insert(EditionShortCode(e)).second);
    EXPECT_TRUE(names.insert(EditionProductName(e)).second);
  }
  EXPECT_EQ(0u, codes.count(L"") + names.count(L""));
  EXPECT_STREQ(L"", EditionProductName(static_cast<ProductEdition>(3)));
  for (int index = kFirstVersionIndex; index <= kLastVersionIndex; ++index) {
    ASSERT_NE(nullptr, VersionPrefixOf(index)) << index;
    EXPECT_TRUE(prefixes.insert(VersionPrefixOf(index)).second) << index;
  }
  for (int index : {kFirstVersionIndex - 1, kLastVersionIndex + 1, -1}) EXPECT_EQ(nullptr, VersionPrefixOf(index));
}

}  // namespace
