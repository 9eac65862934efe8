#include <gtest/gtest.h>

#include <set>

#include "ui/setup_dialog_model.h"

namespace {

TEST(SetupDialogModel, EveryStepHasItsOwnText) {
  std::set<std::wstring> texts = {L""};
  for (int32_t step = 1; step <= 10; ++step) texts.insert(SetupDialogModel::StepText(step));
  EXPECT_EQ(11u, texts.size()) << "ten texts of their own, none empty";
  for (int32_t step : {-1, 0, 11}) EXPECT_EQ(L"", SetupDialogModel::StepText(step)) << step;
}

TEST(SetupDialogModel, DotsCountToSixAndStartAgain) {
  SetupDialogModel model;
  EXPECT_EQ(L".", model.OnTimer()) << "before the first step only dots show";
  EXPECT_TRUE(model.OnInitStep(2));
  const std::wstring text = SetupDialogModel::StepText(2);
  for (int dots : {2, 3, 4, 5, 6, 0, 1}) EXPECT_EQ(text + std::wstring(dots, L'.'), model.OnTimer());
  // An unknown step empties the text; the count goes on.
  EXPECT_FALSE(model.OnInitStep(42));
  EXPECT_EQ(L"..", model.OnTimer());
}

TEST(SetupDialogModel, InitDoneEndsTheDialogAndSetsTheResult) {
  // outcome, kind, the result before, the dialog's end, the result after
  const struct {
    int32_t outcome, kind, before;
    int dialog;
    int32_t after;
  } rows[] = {{1, 0, 0, kDialogOk, 1},     {1, 2, 0, kDialogOk, 1},     {0, 0, 7, kDialogCancel, 7},
              {0, 1, 0, kDialogCancel, 3}, {0, 2, 0, kDialogCancel, 6}, {0, 3, 0, kDialogCancel, 21},
              {2, 0, 5, kDialogCancel, 5}, {0, 9, 4, kDialogCancel, 4}};
  for (const auto& row : rows) {
    int32_t result = row.before;
    EXPECT_EQ(row.dialog, SetupDialogModel::OnInitDone(row.outcome, row.kind, &result));
    EXPECT_EQ(row.after, result);
  }
}

}  // namespace
