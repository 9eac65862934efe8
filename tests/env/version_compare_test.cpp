#include <gtest/gtest.h>

#include "env/installed_edition.h"

namespace {

struct CompareRow {
  const wchar_t* a;
  const wchar_t* b;
  int expected;
};

const CompareRow kRows[] = {
    {L"9.0.2032.2", L"9.0.2032.2", kVersionsEqual},
    {L"9.0.2032.10", L"9.0.2032.2", kVersionNewer},   // numbers, not text
    {L"9.0.2032.2", L"9.0.2032.10", kVersionOlder},
    {L"10.0.0.0", L"9.9.9999.9999", kVersionNewer},
    {L"1.2.3.4", L"1.2.4.0", kVersionOlder},
    {L"1.3.0.0", L"1.2.9.9", kVersionNewer},
    {L"2.0.0.0", L"10.0.0.0", kVersionOlder},
    {L"0.0.0.0", L"0.0.0.0", kVersionsEqual},
    {L"0.0.0.0", L"9.0.2032.2", kVersionOlder},
    // Empty parts count as 0; a part converts by its leading digits.
    {L"9..2032.2", L"9.0.2032.2", kVersionsEqual},
    {L"...", L"0.0.0.0", kVersionsEqual},
    {L"9.0.2032.2a", L"9.0.2032.2", kVersionsEqual},
    {L"9.0.2032.b", L"9.0.2032.0", kVersionsEqual},
    // Parts compare as unsigned 32-bit numbers; an overlong part does not wrap round to a small one.
    {L"4294967295.0.0.0", L"1.0.0.0", kVersionNewer},
    {L"99999999999.0.0.0", L"4294967295.0.0.0", kVersionsEqual},
    // Anything but four parts.
    {L"9.0", L"9.0.2032.2", kVersionInvalid},
    {L"9.0.2032.2", L"9.0", kVersionInvalid},
    {L"9.0.2032", L"9.0.2032", kVersionInvalid},
    {L"9.0.2032.2.1", L"9.0.2032.2", kVersionInvalid},
    {L"", L"0.0.0.0", kVersionInvalid},
    {L"0.0.0.0", L"", kVersionInvalid},
    {L"10.1", L"10.1", kVersionInvalid},
};

TEST(CompareVersions, Table) {
  for (const CompareRow& row : kRows) {
    EXPECT_EQ(row.expected, CompareVersions(row.a, row.b)) << "a=" << row.a << " b=" << row.b;
  }
}

TEST(ProductEdition, CodesNamesAndShortCodes) {
  struct Row {
    ProductEdition edition;
    int32_t code;
    const wchar_t* shortCode;
    const wchar_t* name;
  };
  const Row rows[] = {
      {ProductEdition::TTS, 1, L"TTS", L"TAVO Total Shield"},
      {ProductEdition::TVG, 2, L"TVG", L"TAVO Virus Guard"},
      {ProductEdition::TNS, 5, L"TNS", L"TAVO Net Shield"},
      {ProductEdition::TTSP, 6, L"TTSP", L"TAVO Total Shield Plus"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.code, static_cast<int32_t>(row.edition));
    EXPECT_STREQ(row.shortCode, EditionShortCode(row.edition));
    EXPECT_STREQ(row.name, EditionProductName(row.edition));
  }
  EXPECT_STREQ(L"", EditionProductName(static_cast<ProductEdition>(3)));
}

TEST(ProductEdition, VersionTablePrefixes) {
  const wchar_t* const expected[] = {L"3.0", L"4.0", L"4.2", L"5.0", L"5.2",
                                     L"6.0", L"7.0", L"8.0", L"9.0", L"10.0"};
  for (int index = 1; index <= 10; ++index) EXPECT_STREQ(expected[index - 1], VersionPrefixOf(index)) << index;
  EXPECT_EQ(nullptr, VersionPrefixOf(0));
  EXPECT_EQ(nullptr, VersionPrefixOf(11));
  EXPECT_EQ(nullptr, VersionPrefixOf(-1));
}

}  // namespace
