// The example data files of examples/ open and pass the suitability check.
// Expected coefficients were computed independently in R from the source
// tables: round(cor(E, U), 4), round(cor(E, log(U)), 4) and the first m of
// (1:100)/10 with the largest |round(cor(E, U^m), 4)|.

#include <gtest/gtest.h>

#include <string>

#include "assessment/state.h"
#include "assessment/suitability.h"
#include "assessment/suitability_view.h"
#include "common/numbers.h"
#include "data/data_file.h"
#include "data/suitability.h"

namespace tarvik::data {
namespace {

const std::string kExamples = std::string(TARVIK_SOURCE_DIR) + "/examples/";

TEST(Examples, YellowfinTunaSeriesOfSchaefer1957) {
  const DataFile file = ReadDataFile(kExamples + "yellowfin_epo_1934_1955.txt", ',');
  EXPECT_EQ(file.description.species, "Желтоперый тунец");
  EXPECT_EQ(file.description.stock, "Восточная часть Тихого океана");
  EXPECT_FALSE(file.description.scientific);
  EXPECT_EQ(file.description.catchUnitExponent, 0);
  ASSERT_EQ(file.table.DataRowCount(), 22);
  EXPECT_EQ(file.series.FirstYear, 1934);
  EXPECT_EQ(file.table.Cell(2, 1), "5,879");  // thousands of standard days, comma locale
  EXPECT_EQ(file.series.C[0], 60913.0);
  EXPECT_NEAR(file.series.U[0], 60913.0 / 5.879, 1e-9);

  AssessmentState state;
  const SuitabilityResult r = SuitabilityCheck(file.table, 0, ',', state);
  EXPECT_EQ(r.correlationSchaefer, RoundDecimals(-0.7753, 4));
  EXPECT_EQ(r.correlationFox, RoundDecimals(-0.7816, 4));
  EXPECT_EQ(r.ptExponent, 0.2);
  EXPECT_EQ(r.correlationPT, RoundDecimals(-0.7823, 4));
  EXPECT_EQ(r.correlationSchaeferText, "-0,7753");
  EXPECT_FALSE(r.positiveCorrelation);
  EXPECT_EQ(r.initialKText, "224810");  // the catch of 1950
  EXPECT_EQ(r.maxKText, "22481000");
}

TEST(Examples, SimulatedSchaeferSeriesSuitsTheHoldOutOption) {
  const DataFile file = ReadDataFile(kExamples + "schaefer_simulated_1990_2019.txt", '.');
  EXPECT_TRUE(file.description.scientific);
  EXPECT_EQ(file.description.catchUnitExponent, 3);
  ASSERT_EQ(file.table.DataRowCount(), 30);
  EXPECT_EQ(file.series.FirstYear, 1990);

  AssessmentState state;
  const SuitabilityResult r = SuitabilityCheck(file.table, 0, '.', state);
  EXPECT_EQ(r.correlationSchaefer, RoundDecimals(-0.9218, 4));
  EXPECT_EQ(r.correlationFox, RoundDecimals(-0.9038, 4));
  EXPECT_EQ(r.ptExponent, 1.1);
  EXPECT_EQ(r.correlationPT, RoundDecimals(-0.9219, 4));

  EstimationPageInputs inputs;
  inputs.holdOutChecked = true;
  state.SuitabilityChecked = false;  // the page is shown for the first time
  const EstimationPageShow shown = ShowEstimationPage(file.table, inputs, '.', state);
  EXPECT_TRUE(shown.error.empty()) << shown.error;
  EXPECT_TRUE(shown.enableHoldOut);
  EXPECT_EQ(shown.holdOutMaximum, 15);
  EXPECT_EQ(state.AnalysisSeries.size(), 27u);
  EXPECT_FALSE(shown.showPositiveCorrelationMessage);
}

}  // namespace
}  // namespace tarvik::data
