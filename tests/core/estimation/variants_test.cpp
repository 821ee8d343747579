#include "assessment/variants.h"
#include "estimation/variants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error.h"

namespace tarvik::estimation {
namespace {

using model::ObjectiveKind;
using model::ProductionModelKind;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// The cut-off list.

TEST(ParseCutOffList, RangesAndSingleValues) {
  EXPECT_EQ(ParseCutOffList("2-5,7,9"), (Bytes{2, 3, 4, 5, 7, 9}));
  EXPECT_EQ(ParseCutOffList("4"), (Bytes{4}));
  EXPECT_EQ(ParseCutOffList("12,3"), (Bytes{12, 3}));
  EXPECT_EQ(ParseCutOffList(""), Bytes{});
}

TEST(ParseCutOffList, RangeWithEqualEndsStaysOpenUntilTheNextNumber) {
  EXPECT_EQ(ParseCutOffList("3-3"), Bytes{});
  // The pending start 3 is closed by 5: 3, 4, 5.
  EXPECT_EQ(ParseCutOffList("3-3,5"), (Bytes{3, 4, 5}));
}

TEST(ParseCutOffList, DescendingRangeAddsNothing) {
  EXPECT_EQ(ParseCutOffList("10-2"), Bytes{});
  EXPECT_EQ(ParseCutOffList("10-2,4"), (Bytes{4}));
}

TEST(ParseCutOffList, ValuesAreHeldInEightBits) {
  EXPECT_EQ(ParseCutOffList("300"), (Bytes{44}));  // 300 − 256
}

TEST(ParseCutOffList, TokenThatIsNotAnIntegerRaises) {
  EXPECT_THROW(ParseCutOffList("x"), Error);
  EXPECT_THROW(ParseCutOffList("4,a"), Error);
  EXPECT_THROW(ParseCutOffList("2.5"), Error);
  // The last character is taken together with the open token: "4," is not a number.
  EXPECT_THROW(ParseCutOffList("4,"), Error);
  EXPECT_THROW(ParseCutOffList("2-"), Error);
  try {
    ParseCutOffList("4,a");
    FAIL();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("«a»"), std::string::npos) << e.what();
  }
}

// ---------------------------------------------------------------------------
// The array of variants.

TEST(BuildModelFits, DefaultListGivesNineVariants) {
  AssessmentState state;
  BuildModelFits(state, "4");
  ASSERT_EQ(state.ModelFits.size(), 9u);
  EXPECT_EQ(VariantsPerModel(state.ModelFits), 3u);
  const ObjectiveKind objectives[] = {ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares,
                                      ObjectiveKind::Median};
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(state.ModelFits[i].Kind, static_cast<ProductionModelKind>(i / 3));
    EXPECT_EQ(state.ModelFits[i].Objective, objectives[i % 3]);
    EXPECT_EQ(state.ModelFits[i].Enabled, 1);
  }
  EXPECT_EQ(state.ModelFits[2].CutOff, 4);
  EXPECT_EQ(state.CutOffValues, (Bytes{4}));
  EXPECT_EQ(state.ActiveVariants, (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(BuildModelFits, ListOfSixValuesGivesTwentyFourVariants) {
  AssessmentState state;
  BuildModelFits(state, "2-5,7,9");
  ASSERT_EQ(state.ModelFits.size(), 24u);
  EXPECT_EQ(VariantsPerModel(state.ModelFits), 8u);
  // Slot 0 and 1 of each model, then one median slot per value.
  EXPECT_EQ(state.ModelFits[8].Kind, ProductionModelKind::Fox);
  EXPECT_EQ(state.ModelFits[8].Objective, ObjectiveKind::SumOfSquares);
  EXPECT_EQ(state.ModelFits[9].Objective, ObjectiveKind::LogSumOfSquares);
  const Bytes cutOffs = {2, 3, 4, 5, 7, 9};
  for (std::size_t slot = 2; slot < 8; ++slot) {
    EXPECT_EQ(state.ModelFits[16 + slot].Kind, ProductionModelKind::PellaTomlinson);
    EXPECT_EQ(state.ModelFits[16 + slot].Objective, ObjectiveKind::Median);
    EXPECT_EQ(state.ModelFits[16 + slot].CutOff, cutOffs[slot - 2]);
  }
  EXPECT_EQ(state.ActiveVariants.size(), 24u);
}

TEST(BuildModelFits, RebuildKeepsFittedValuesAndEnablesEveryVariant) {
  AssessmentState state;
  BuildModelFits(state, "4");
  state.ModelFits[1].R = 0.37;
  SetVariantEnabled(state, 1, false);
  BuildModelFits(state, "4,6");
  ASSERT_EQ(state.ModelFits.size(), 12u);
  EXPECT_EQ(state.ModelFits[1].R, 0.37);
  EXPECT_EQ(state.ModelFits[1].Enabled, 1);
  EXPECT_EQ(state.ActiveVariants.size(), 12u);
}

TEST(BuildModelFits, BadListChangesNothing) {
  AssessmentState state;
  BuildModelFits(state, "4");
  SetVariantEnabled(state, 0, false);
  EXPECT_THROW(BuildModelFits(state, "2-x"), Error);
  EXPECT_EQ(state.ModelFits.size(), 9u);
  EXPECT_EQ(state.ModelFits[0].Enabled, 0);
  EXPECT_EQ(state.CutOffValues, (Bytes{4}));
  // 3 × (2 + 84) = 258 variants cannot be numbered with 8 bits.
  EXPECT_THROW(BuildModelFits(state, "1-84"), Error);
  EXPECT_EQ(state.ModelFits.size(), 9u);
}

TEST(BuildModelFits, EmptyListGivesTwoVariantsPerModel) {
  AssessmentState state;
  BuildModelFits(state, "");
  ASSERT_EQ(state.ModelFits.size(), 6u);
  EXPECT_EQ(VariantLabels(state.ModelFits),
            (std::vector<std::string>{"Шефер СК", "Шефер Лог", "Фокс СК", "Фокс Лог", "ПТ СК",
                                      "ПТ Лог"}));
}

// ---------------------------------------------------------------------------
// Switching variants on and off.

TEST(VariantSwitches, ModelCheckBoxSwitchesItsThreeVariants) {
  AssessmentState state;
  BuildModelFits(state, "4");
  SetModelEnabled(state, ProductionModelKind::Fox, false);
  EXPECT_EQ(state.ActiveVariants, (Bytes{0, 1, 2, 6, 7, 8}));
  SetModelEnabled(state, ProductionModelKind::Fox, true);
  EXPECT_EQ(state.ActiveVariants, (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(VariantSwitches, SingleVariantAndAscendingRebuild) {
  AssessmentState state;
  BuildModelFits(state, "4");
  for (std::size_t i : {8u, 0u, 4u}) SetVariantEnabled(state, i, false);
  EXPECT_EQ(state.ActiveVariants, (Bytes{1, 2, 3, 5, 6, 7}));
  SetVariantEnabled(state, 0, true);
  EXPECT_EQ(state.ActiveVariants, (Bytes{0, 1, 2, 3, 5, 6, 7}));
  EXPECT_THROW(SetVariantEnabled(state, 9, true), Error);
}

// ---------------------------------------------------------------------------
// Labels and the model choice.

TEST(VariantLabels, DefaultListKeepsTheNineLabels) {
  AssessmentState state;
  BuildModelFits(state, "4");
  EXPECT_EQ(VariantLabels(state.ModelFits),
            (std::vector<std::string>{"Шефер СК", "Шефер Лог", "Шефер М", "Фокс СК", "Фокс Лог",
                                      "Фокс М", "ПТ СК", "ПТ Лог", "ПТ М"}));
}

TEST(VariantLabels, OtherListsNameTheCutOffAndStayUnique) {
  AssessmentState state;
  BuildModelFits(state, "4,7,4");
  const std::vector<std::string> labels = VariantLabels(state.ModelFits);
  ASSERT_EQ(labels.size(), 15u);
  EXPECT_EQ(labels[2], "Шефер М4");
  EXPECT_EQ(labels[3], "Шефер М7");
  EXPECT_EQ(labels[4], "Шефер М4#4");  // the repeated value carries its slot
  EXPECT_EQ(labels[12], "ПТ М4");
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(VariantIndexByLabel(state.ModelFits, labels[i]), i) << labels[i];
    EXPECT_EQ(FindVariantByLabel(state.ModelFits, labels[i]), i) << labels[i];
  }
  // A label of another list names nothing here.
  EXPECT_EQ(FindVariantByLabel(state.ModelFits, "Шефер М"), std::nullopt);
  EXPECT_THROW(VariantIndexByLabel(state.ModelFits, "Шефер М"), Error);
}

TEST(ChooseModel, LeavesExactlyTheChosenVariantActive) {
  AssessmentState state;
  BuildModelFits(state, "4");
  SetVariantEnabled(state, 4, false);  // a variant unticked before is chosen all the same
  EXPECT_EQ(ChooseModel(state, "Фокс Лог"), 4u);
  EXPECT_EQ(state.ActiveVariants, (Bytes{4}));
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(state.ModelFits[i].Enabled, i == 4 ? 1 : 0);
}

TEST(ChooseModel, WorksWithLabelsOfOtherLists) {
  AssessmentState state;
  BuildModelFits(state, "2-5,7,9");
  const std::size_t index = ChooseModel(state, "Фокс М7");
  EXPECT_EQ(index, 14u);  // Fox block starts at 8; value 7 is slot 6
  EXPECT_EQ(state.ActiveVariants, (Bytes{14}));
}

TEST(ChooseModel, UnknownLabelRaisesAndChangesNothing) {
  AssessmentState state;
  BuildModelFits(state, "4");
  EXPECT_THROW(ChooseModel(state, "Шефер"), Error);
  EXPECT_EQ(state.ActiveVariants.size(), 9u);
}

}  // namespace
}  // namespace tarvik::estimation
