#include "uncertainty/decision_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <stop_token>
#include <string>
#include <vector>

#include "core/estimation/test_series.h"
#include "estimation/observation_error.h"
#include "model/production.h"

namespace tarvik::uncertainty {
namespace {

using model::ProductionModelKind;

// Bootstraps (100 replicates) of both estimators on the fished Schaefer
// stock: the procedure from the true parameters, the observation-error
// estimator from its fit.
struct Bases {
  ProjectionBasis Procedure, Observation;
};

const Bases& FishedStockBases() {
  static const Bases bases = [] {
    const data::CatchEffortSeries series = estimation::testing::FishedStock();
    estimation::ParameterBounds bounds;
    bounds.MinR = 0.0;
    bounds.MaxR = 1.0;
    bounds.MinK = 2000.0;
    bounds.MaxK = 200000.0;
    bounds.MinQ = 1e-5;
    bounds.MaxQ = 0.01;
    BootstrapOptions options;
    options.Replicates = kMinReplicates;
    options.Threads = 2;
    model::ModelFit fit;
    fit.R = 0.45;
    fit.K = 12000.0;
    fit.Q = 0.0002;
    const auto keep = static_cast<std::uint8_t>(series.size() - 2);
    estimation::ObservationErrorOptions fitOptions;
    fitOptions.Bounds = bounds;
    const auto observed =
        estimation::FitObservationError(series, ProductionModelKind::Schaefer, fitOptions);
    return Bases{
        ProcedureBasis(series, BootstrapProcedure(series, fit, bounds, keep, options)),
        ObservationErrorBasis(
            series, BootstrapObservationError(series, observed, fitOptions, options), observed)};
  }();
  return bases;
}

std::vector<CatchOption> DefaultOptions(const ProjectionBasis& basis) {
  return ResolveCatchOptions(DefaultCatchOptionEntries(), basis.PointMsy, basis.LastCatch,
                             std::nullopt);
}

DecisionTableOptions Settings(int horizon, long long threads = 1) {
  DecisionTableOptions settings;
  settings.Horizon = horizon;
  settings.Threads = threads;
  return settings;
}

std::vector<CatchOption> Tonnes(const std::vector<double>& catches) {
  std::vector<CatchOptionEntry> entries;
  for (double c : catches) entries.push_back({CatchOptionKind::Tonnes, c});
  return ResolveCatchOptions(entries, 0.0, 0.0, std::nullopt);
}

// U0, where the table's projections start: the CPUE of the two years before
// the last and the catch of the year before it (not the last year's), by
// hand: U = …, 0.42, 0.40, 0.41 and C = …, 100, 95 with Schaefer r = 0.5,
// K = 1000, q = 0.001: S = 0.82, B̄ = S/(2q) = 410, shape 1 − 0.41 = 0.59,
// U0 = 0.42 + 0.5·0.82·0.59 − 0.002·100 = 0.4619.
TEST(DecisionTable, StartsFromTheHandComputedU0) {
  data::CatchEffortSeries series;
  series.U = {0.50, 0.45, 0.42, 0.40, 0.41};
  series.C = {100.0, 110.0, 105.0, 100.0, 95.0};
  for (std::size_t i = 0; i < series.U.size(); ++i) series.E.push_back(series.C[i] / series.U[i]);
  BootstrapResult bootstrap;
  bootstrap.Method = Estimator::Procedure;
  bootstrap.Kind = ProductionModelKind::Schaefer;
  bootstrap.Estimate.R = 0.5;
  bootstrap.Estimate.K = 1000.0;
  bootstrap.Estimate.Q = 0.001;
  const ProjectionBasis basis = ProcedureBasis(series, bootstrap);
  EXPECT_EQ(basis.CpueTwoBack, 0.42);
  EXPECT_EQ(basis.CpueOneBack, 0.40);
  EXPECT_EQ(basis.CatchOneBack, 100.0);
  EXPECT_EQ(basis.LastCatch, 95.0);
  EXPECT_NEAR(model::StartCpue(basis.Kind, 0.5, 1000.0, 0.001, 0.0, basis.CpueTwoBack,
                               basis.CpueOneBack, basis.CatchOneBack),
              0.4619, 1e-15);
}

TEST(DecisionTable, RiskGrowsWithTheCatchInEveryYearAndIsLowestWithoutCatch) {
  for (const ProjectionBasis* basis :
       {&FishedStockBases().Procedure, &FishedStockBases().Observation}) {
    const DecisionTable table = BuildDecisionTable(*basis, DefaultOptions(*basis), Settings(10, 2));
    SCOPED_TRACE(static_cast<int>(table.Model));
    ASSERT_EQ(table.Rows.front().Option.Catch, 0.0);
    for (std::size_t o = 1; o < table.Rows.size(); ++o) {
      for (std::size_t i = 0; i < 10; ++i) {
        const YearOutlook& less = table.Rows[o - 1].Years[i];
        const YearOutlook& more = table.Rows[o].Years[i];
        SCOPED_TRACE("option " + std::to_string(o) + ", year " + std::to_string(i));
        EXPECT_LE(less.ProbBelowBlim, more.ProbBelowBlim);
        EXPECT_LE(less.ProbBelowBmsy, more.ProbBelowBmsy);
        EXPECT_LE(less.ProbAboveFmsy, more.ProbAboveFmsy);
        EXPECT_GE(less.ProbGreen, more.ProbGreen);
        EXPECT_GE(less.MedianBOverBmsy, more.MedianBOverBmsy);
      }
    }
    // The catch acts: 1.5·MSY for ten years leaves most replicates below BMSY.
    EXPECT_LT(table.Rows.front().Years.back().ProbBelowBmsy, 0.5);
    EXPECT_GT(table.Rows.back().Years.back().ProbBelowBmsy, 0.5);
  }
}

// One Schaefer replicate, r = 0.5, K = 1000, q = 0.01, BMSY = 500, FMSY =
// 0.25 (MSY 125), from U[L−2] = U[L−1] = 5, C[L−1] = C[L] = 100 or B_L = 400.
ProjectionBasis HandBasis(Dynamics model) {
  ProjectionBasis basis;
  basis.Model = model;
  basis.FirstYear = 2025;
  basis.PointMsy = 125.0;
  basis.CpueTwoBack = basis.CpueOneBack = 5.0;
  basis.CatchOneBack = basis.LastCatch = 100.0;
  Replicate x;
  x.R = 0.5;
  x.K = 1000.0;
  x.Q = 0.01;
  x.BMSY = 500.0;
  x.FMSY = 0.25;
  x.BLast = 400.0;
  basis.Replicates = {x};
  return basis;
}

// HandBasis without process error, two years:
//  CPUE step:
//   U0 = 5 + 0.5·10·(1 − 500/1000) − 0.02·100 = 5.5
//   A0 = 5 + 0.5·10.5·(1 − 525/1000) − 2 = 5.49375, B0 = (A0 + U0)/0.02 = 549.6875
//   A1 = 5.5 + 0.5·10.99375·(1 − 549.6875/1000) − 0.02·C = 7.9753115234375 − 0.02·C
//   B1 = (A1 + A0)/0.02: C = 0 → 673.453076171875, 150 → 523.453076171875,
//   300 → 373.453076171875 (below Blim = 0.8·BMSY = 400), 1000 → A1 < 0:
//   the floor 10⁻⁶·q·K = 10⁻⁵, B1 = 274.688, a collapse.
//  Biomass balance, Blim = 0.5·BMSY = 250:
//   B0 = 400 + 0.0005·400·600 − 100 = 420
//   B1 = 420 + 0.0005·420·580 − C = 541.8 − C: 541.8, 391.8, 241.8; 600 → the
//   floor 10⁻³, a collapse.
// Status letters: G green, O orange (B ≥ BMSY, F > FMSY), Y yellow, R red,
// L red below Blim, C collapse (counted below Blim).
TEST(DecisionTable, OneReplicateWithoutProcessErrorIsTheHandComputedProjection) {
  struct Year {
    double B;
    char status;
  };
  struct Case {
    Dynamics model;
    double blimFraction;
    std::vector<double> catches;
    std::vector<std::vector<Year>> years;  // per option
  };
  const Case cases[] = {
      {Dynamics::CpueStep,
       0.8,
       {0, 150, 300, 1000},
       {{{549.6875, 'G'}, {673.453076171875, 'G'}},
        {{549.6875, 'O'}, {523.453076171875, 'O'}},
        {{549.6875, 'O'}, {373.453076171875, 'L'}},
        {{549.6875, 'O'}, {274.688, 'C'}}}},
      {Dynamics::BiomassBalance,
       0.5,
       {0, 150, 300, 600},
       {{{420, 'Y'}, {541.8, 'G'}},
        {{420, 'R'}, {391.8, 'R'}},
        {{420, 'R'}, {241.8, 'L'}},
        {{420, 'R'}, {0.001, 'C'}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.model));
    DecisionTableOptions settings = Settings(2);
    settings.BlimFraction = c.blimFraction;
    settings.ProcessError = false;
    const DecisionTable table = BuildDecisionTable(HandBasis(c.model), Tonnes(c.catches), settings);
    ASSERT_EQ(table.Rows.size(), c.catches.size());
    for (std::size_t o = 0; o < c.catches.size(); ++o) {
      for (std::size_t i = 0; i < 2; ++i) {
        const YearOutlook& cell = table.Rows[o].Years[i];
        const Year& want = c.years[o][i];
        SCOPED_TRACE("catch " + std::to_string(c.catches[o]) + ", year " + std::to_string(i));
        const std::string low = "LC", below = "YRLC", over = "ORLC", green = "G";
        EXPECT_EQ(cell.Year, 2025 + static_cast<int>(i));
        EXPECT_NEAR(cell.MedianBOverBmsy, want.B / 500.0, 1e-12);
        EXPECT_EQ(cell.ProbBelowBlim, low.find(want.status) != std::string::npos);
        EXPECT_EQ(cell.ProbBelowBmsy, below.find(want.status) != std::string::npos);
        EXPECT_EQ(cell.ProbAboveFmsy, over.find(want.status) != std::string::npos);
        EXPECT_EQ(cell.ProbGreen, green.find(want.status) != std::string::npos);
      }
    }
  }
}

// The CPUE case above with Blim = 0.1·BMSY: only the collapse reaches it,
// from C ≥ 7.9753115234375/0.02 − 10⁻⁵/0.02 ≈ 398.77 on: the largest catch
// on the grid of whole tonnes is 398, its B1 = 275.45… < BMSY.
TEST(DecisionTable, ReportLinesOfTheHandComputedProjection) {
  DecisionTableOptions settings = Settings(2);
  settings.ProcessError = false;
  const DecisionTable table =
      BuildDecisionTable(HandBasis(Dynamics::CpueStep),
                         ResolveCatchOptions(ParseCatchOptions("0; 1,2*MSY; 300; 1000", ','), 125.0,
                                             0.0, std::nullopt, ','),
                         settings);
  EXPECT_EQ(table.MaxCatch.Catch, 398.0);
  const std::vector<std::string> expected = {
      "Таблица решений: вероятность B < Blim при постоянном улове (Blim = 0,1·BMSY каждого "
      "повтора; повторов 1, зерно 1)",
      "Динамика запаса: разностное уравнение прогноза по улову на усилие с параметрами каждого "
      "повтора, от его модельного улова на усилие последнего года данных",
      "Ошибка процесса: нет",
      "Вариант\tУлов, т\t2025\t2026",
      "0\t0\t0,0 %\t0,0 %",
      "1,2·MSY\t150\t0,0 %\t0,0 %",
      "300\t300\t0,0 %\t0,0 %",
      "1000\t1000\t0,0 %\t100,0 %",
      "Наибольший постоянный улов, при котором вероятность B < Blim не выше 5 % в каждом году "
      "2025–2026: 398 т (3,18·MSY); вероятность B < BMSY в 2026 г. при нём 100,0 %."};
  EXPECT_EQ(DecisionReportLines(table, ','), expected);
}

TEST(DecisionTable, TheLargestCatchIsWithinTheRiskAndTheNextOptionIsNot) {
  const ProjectionBasis& basis = FishedStockBases().Procedure;
  const std::vector<CatchOption> options = DefaultOptions(basis);
  for (double risk : {0.05, 0.2, 0.5}) {
    DecisionTableOptions settings = Settings(10, 2);
    settings.Risk = risk;
    const MaxCatchAtRisk found = BuildDecisionTable(basis, options, settings).MaxCatch;
    SCOPED_TRACE(risk);
    ASSERT_EQ(found.Outcome, CatchSearch::Found);
    const auto above = std::find_if(options.begin(), options.end(),
                                    [&](const CatchOption& o) { return o.Catch > found.Catch; });
    ASSERT_NE(above, options.end());
    const double next = above->Catch;
    const double unit = std::pow(10.0, std::floor(std::log10(next)) - 3.0);
    const DecisionTable check =
        BuildDecisionTable(basis, Tonnes({found.Catch, found.Catch + unit, next}), settings);
    EXPECT_LE(check.Rows[0].MaxProbBelowBlim, risk);
    EXPECT_EQ(check.Rows[0].MaxProbBelowBlim, found.MaxProbBelowBlim);
    EXPECT_EQ(check.Rows[0].Years.back().ProbBelowBmsy, found.ProbBelowBmsyEnd);
    EXPECT_GT(check.Rows[1].MaxProbBelowBlim, risk);
    EXPECT_GT(check.Rows[2].MaxProbBelowBlim, risk);
  }
}

TEST(DecisionTable, SaysWhenNoCatchOrEveryOptionIsWithinTheRisk) {
  ProjectionBasis basis = FishedStockBases().Procedure;
  DecisionTableOptions settings = Settings(5, 2);
  const DecisionTable small = BuildDecisionTable(basis, Tonnes({0.0, 1.0}), settings);
  EXPECT_EQ(small.MaxCatch.Outcome, CatchSearch::LargestOptionWithinRisk);
  EXPECT_EQ(small.MaxCatch.Catch, 1.0);
  EXPECT_NE(MaxCatchSentence(small).find("не меньше"), std::string::npos);

  // A last observed catch that empties every replicate's stock: even without
  // catch every replicate is below Blim in the first year.
  basis.LastCatch = 1e6;
  for (const std::vector<double>& catches : {std::vector<double>{0.0, 100.0}, {100.0}}) {
    const DecisionTable none = BuildDecisionTable(basis, Tonnes(catches), settings);
    EXPECT_EQ(none.MaxCatch.Outcome, CatchSearch::NoneWithinRisk);
    EXPECT_EQ(none.MaxCatch.Catch, 0.0);
    EXPECT_GT(none.MaxCatch.MaxProbBelowBlim, settings.Risk);
    EXPECT_EQ(MaxCatchSentence(none).rfind("Даже без вылова", 0), 0u);
  }
}

std::vector<std::uint64_t> BitsOf(const DecisionTable& table) {
  std::vector<std::uint64_t> bits;
  for (const OptionOutlook& row : table.Rows) {
    for (const YearOutlook& cell : row.Years) {
      for (std::size_t k = 0; k < kOutlookCount; ++k) {
        bits.push_back(std::bit_cast<std::uint64_t>(ValueOf(cell, static_cast<Outlook>(k))));
      }
    }
  }
  for (double v : {table.MaxCatch.Catch, table.MaxCatch.ProbBelowBmsyEnd}) {
    bits.push_back(std::bit_cast<std::uint64_t>(v));
  }
  return bits;
}

TEST(DecisionTable, TheThreadCountDoesNotChangeTheBits) {
  for (const ProjectionBasis* basis :
       {&FishedStockBases().Procedure, &FishedStockBases().Observation}) {
    const std::vector<CatchOption> options = DefaultOptions(*basis);
    const std::vector<std::uint64_t> one =
        BitsOf(BuildDecisionTable(*basis, options, Settings(8, 1)));
    EXPECT_EQ(BitsOf(BuildDecisionTable(*basis, options, Settings(8, 2))), one);
    EXPECT_EQ(BitsOf(BuildDecisionTable(*basis, options, Settings(8, 3))), one);
  }
}

TEST(DecisionTable, ReportsProgressToTheTotalAndStopsWhenAsked) {
  const ProjectionBasis& basis = FishedStockBases().Observation;
  DecisionTableOptions settings = Settings(5, 2);
  std::vector<int> done;
  settings.OnProgress = [&](int d, int total) {
    EXPECT_EQ(total, 9 * kMinReplicates);  // eight options and the search
    done.push_back(d);
  };
  BuildDecisionTable(basis, DefaultOptions(basis), settings);
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.back(), 9 * kMinReplicates);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_LE(done.size(), 101u);

  std::stop_source stop;
  settings.Stop = stop.get_token();
  settings.OnProgress = [&](int d, int) {
    if (d >= 300) stop.request_stop();
  };
  EXPECT_THROW(BuildDecisionTable(basis, DefaultOptions(basis), settings), DecisionTableCancelled);
}

TEST(CatchOptions, ReadTheListAndWriteItBack) {
  struct Case {
    const char* text;
    char mark;
    std::vector<CatchOptionEntry> entries;
  };
  using K = CatchOptionKind;
  const Case cases[] = {
      {"0; 0,5*MSY; 1200", ',', {{K::Tonnes, 0}, {K::MsyMultiple, 0.5}, {K::Tonnes, 1200}}},
      {" msy ;\n1.25 · MSY;;Текущий улов\nОДУ правила ",
       '.',
       {{K::MsyMultiple, 1}, {K::MsyMultiple, 1.25}, {K::CurrentCatch, 0}, {K::RuleTac, 0}}},
      {"2×MSY; 3 MSY; ТЕКУЩИЙ; оду",
       '.',
       {{K::MsyMultiple, 2}, {K::MsyMultiple, 3}, {K::CurrentCatch, 0}, {K::RuleTac, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<CatchOptionEntry> entries = ParseCatchOptions(c.text, c.mark);
    ASSERT_EQ(entries.size(), c.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].Kind, c.entries[i].Kind);
      EXPECT_EQ(entries[i].Value, c.entries[i].Value);
    }
    const std::vector<CatchOptionEntry> again =
        ParseCatchOptions(CatchOptionsText(entries, c.mark), c.mark);
    ASSERT_EQ(again.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(again[i].Value, entries[i].Value);
  }
  EXPECT_EQ(CatchOptionsText(DefaultCatchOptionEntries(), ','),
            "0; 0,25*MSY; 0,5*MSY; 0,75*MSY; MSY; 1,25*MSY; 1,5*MSY; текущий; ОДУ");
}

TEST(CatchOptions, RejectWhatIsNotACatchNamingTheItem) {
  struct Case {
    const char* text;
    char mark;
    const char* message;  // a part of it
  };
  const Case cases[] = {
      {"0; abc", '.', "Вариант улова № 2 «abc» не распознан"},
      {"0; 0.5*MSY", ',', "Вариант улова № 2 «0.5*MSY» не распознан"},
      {"100; -5", '.', "Вариант улова № 2 «-5» отрицателен"},
      {" ; \n ", '.', "Список вариантов улова пуст"},
      {"1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25;26;27;28;29;30;31", '.',
       "31 вариант улова, допускается не более 30"},
  };
  for (const Case& c : cases) {
    try {
      ParseCatchOptions(c.text, c.mark);
      ADD_FAILURE() << c.text;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(CatchOptions, ResolveInAscendingOrderWithTheirLabels) {
  const std::vector<CatchOption> options = ResolveCatchOptions(
      DefaultCatchOptionEntries(), 1000.0, 600.0, std::optional<double>(820.5), ',');
  std::string rows;
  for (const CatchOption& o : options) rows += o.Label + " " + CatchText(o.Catch, ',') + "; ";
  EXPECT_EQ(rows,
            "0 0; 0,25·MSY 250; 0,5·MSY 500; Текущий улов 600; 0,75·MSY 750; ОДУ правила 820,5; "
            "MSY 1000; 1,25·MSY 1250; 1,5·MSY 1500; ");
  // Without a forecast there is no TAC row.
  EXPECT_EQ(ResolveCatchOptions(DefaultCatchOptionEntries(), 1000.0, 600.0, std::nullopt).size(),
            8u);
}

TEST(DecisionTable, CellClassesFollowTheKobeScaleAndTheChosenRisk) {
  struct Case {
    Outlook outlook;
    double value;
    RiskColour colour;
  };
  const Case cases[] = {
      {Outlook::ProbGreen, 0.75, RiskColour::DarkGreen},
      {Outlook::ProbGreen, 0.749, RiskColour::LightGreen},
      {Outlook::ProbGreen, 0.499, RiskColour::Red},
      {Outlook::ProbBelowBmsy, 0.25, RiskColour::DarkGreen},
      {Outlook::ProbAboveFmsy, 0.501, RiskColour::Red},
      {Outlook::ProbBelowBlim, 0.05, RiskColour::LightGreen},
      {Outlook::ProbBelowBlim, 0.051, RiskColour::Yellow},
      {Outlook::ProbBelowBlim, 0.201, RiskColour::Red},
      {Outlook::MedianBOverBmsy, 0.49, RiskColour::Red},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ColourOf(c.outlook, c.value, 0.05), c.colour)
        << OutlookName(c.outlook) << " " << c.value;
  }
}

}  // namespace
}  // namespace tarvik::uncertainty
