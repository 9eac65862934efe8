#include <gtest/gtest.h>

#include "platform/utf.h"
#include "ui/font_rule.h"

namespace {

struct FontRow {
  OsCode code;
  bool legacy;
};

// Every code of the operating-system table, and values outside it.
const FontRow kRows[] = {
    {0, false},  {1, false},  {2, false},  {3, false},  {4, true},   {5, true},   {6, true},
    {7, true},   {8, true},   {9, false},  {10, false}, {11, false}, {12, false}, {13, true},
    {14, true},  {15, true},  {16, false}, {17, false}, {18, false}, {19, false}, {20, false},
    {21, false}, {22, false}, {23, false}, {24, false}, {25, false}, {26, false}, {27, false},
    {28, false}, {-1, false}, {100, false},
};

class FontRuleTest : public ::testing::TestWithParam<FontRow> {};

TEST_P(FontRuleTest, FaceAndHeightsFollowTheSystem) {
  const FontRow& row = GetParam();
  const FontSpec fontSpec = UiFontFor(row.code);
  EXPECT_EQ(UsesLegacyUiFont(row.code), row.legacy);
  if (row.legacy) {
    EXPECT_EQ(platform::WideToUtf8(fontSpec.face), "MS UI Gothic");
    EXPECT_EQ(fontSpec.titleHeight, 27);
    EXPECT_EQ(fontSpec.titleHeight2, 27);
    EXPECT_EQ(fontSpec.bodyHeight, 15);
    EXPECT_EQ(fontSpec.bodyHeight2, 15);
    EXPECT_EQ(NoticeListFontHeight(row.code), 17);
  } else {
    EXPECT_EQ(platform::WideToUtf8(fontSpec.face), "メイリオ");
    EXPECT_EQ(fontSpec.titleHeight, 32);
    EXPECT_EQ(fontSpec.titleHeight2, 32);
    EXPECT_EQ(fontSpec.bodyHeight, 22);
    EXPECT_EQ(fontSpec.bodyHeight2, 22);
    EXPECT_EQ(NoticeListFontHeight(row.code), 20);
  }
}

INSTANTIATE_TEST_SUITE_P(AllCodes, FontRuleTest, ::testing::ValuesIn(kRows));

TEST(FontRule, StorageServersOf2003UseMeiryo) {
  // The storage servers share version 5.2 with Server 2003 but are not in the first group.
  EXPECT_EQ(platform::WideToUtf8(UiFontFor(16).face), "メイリオ");
  EXPECT_EQ(platform::WideToUtf8(UiFontFor(17).face), "メイリオ");
}

TEST(FontRule, RunningSystemMatchesItsCode) {
  const FontSpec fontSpec = ChooseUiFont();
  const FontSpec expected = UiFontFor(GetOsCode());
  EXPECT_EQ(fontSpec.face, expected.face);
  EXPECT_EQ(fontSpec.titleHeight, expected.titleHeight);
  EXPECT_EQ(fontSpec.bodyHeight, expected.bodyHeight);
  EXPECT_EQ(ChooseUiFaceName(), expected.face);
}

}  // namespace
