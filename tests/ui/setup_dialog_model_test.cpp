#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "ui/setup_dialog_model.h"

namespace {

TEST(SetupDialogModel, StepTexts) {
  EXPECT_EQ(L"サーバーから最新のインストーラー情報を取得しています", SetupDialogModel::StepText(1));
  EXPECT_EQ(L"最新のインストーラー情報を取得しました", SetupDialogModel::StepText(2));
  EXPECT_EQ(L"新しいインストーラーを起動しました", SetupDialogModel::StepText(8));
  EXPECT_EQ(L"プログラムを起動しています...", SetupDialogModel::StepText(9));
  EXPECT_EQ(L"プログラムの起動が完了しました", SetupDialogModel::StepText(10));
  EXPECT_EQ(L"", SetupDialogModel::StepText(0));
  EXPECT_EQ(L"", SetupDialogModel::StepText(11));
}

TEST(SetupDialogModel, DotsCountToSixAndStartAgain) {
  SetupDialogModel model;
  // Before the first step only dots show.
  EXPECT_EQ(L".", model.OnTimer());
  EXPECT_TRUE(model.OnInitStep(2));
  const std::wstring text = L"最新のインストーラー情報を取得しました";
  EXPECT_EQ(text + L"..", model.OnTimer());
  EXPECT_EQ(text + L"...", model.OnTimer());
  EXPECT_EQ(text + L"....", model.OnTimer());
  EXPECT_EQ(text + L".....", model.OnTimer());
  EXPECT_EQ(text + L"......", model.OnTimer());
  EXPECT_EQ(text, model.OnTimer());
  EXPECT_EQ(text + L".", model.OnTimer());
  // An unknown step empties the text; the next tick shows only dots.
  EXPECT_FALSE(model.OnInitStep(42));
  EXPECT_EQ(L"..", model.OnTimer());
}

TEST(SetupDialogModel, InitDoneEndsTheDialogAndSetsTheResult) {
  struct Row {
    int32_t outcome, kind, before;
    int dialog;
    int32_t after;
  } rows[] = {
      {1, 0, 0, kDialogOk, 1},     {1, 2, 0, kDialogOk, 1},     {0, 0, 7, kDialogCancel, 7},
      {0, 1, 0, kDialogCancel, 3}, {0, 2, 0, kDialogCancel, 6}, {0, 3, 0, kDialogCancel, 21},
      {2, 0, 5, kDialogCancel, 5}, {0, 9, 4, kDialogCancel, 4},
  };
  for (const auto& row : rows) {
    LauncherContext c;
    c.ResultCode = row.before;
    EXPECT_EQ(row.dialog, SetupDialogModel::OnInitDone(row.outcome, row.kind, &c));
    EXPECT_EQ(row.after, c.ResultCode);
  }
}

}  // namespace
