#include "uncertainty/decision_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/elementary.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "data/statistics.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::uncertainty {
namespace {

// The status of a replicate in a year, as bits.
constexpr std::uint8_t kBelowBlim = 1;
constexpr std::uint8_t kBelowBmsy = 2;
constexpr std::uint8_t kAboveFmsy = 4;
constexpr std::uint8_t kGreen = 8;

constexpr std::size_t kMinPartYears = 20000;

// A replicate ready to project.
struct Start {
  std::size_t Index = 0;  // in ProjectionBasis::Replicates
  double R = 0.0, K = 0.0, P = 0.0;
  double Bmsy = 0.0, Fmsy = 0.0, Blim = 0.0;
  double Biomass = 0.0;  // B_L, at the start of the last data year
  double Floor = 0.0;
};

std::string ReplicateName(std::size_t index) {
  return "повтора № " + std::to_string(index + 1) + " бутстрепа";
}

// A uniform number in (0, 1) from 53 random bits.
double Uniform(ReplicateRandom& random) {
  constexpr std::size_t kBits53 = std::size_t{1} << 53;
  return (static_cast<double>(random.Index(kBits53)) + 0.5) / static_cast<double>(kBits53);
}

// A standard normal number (Box–Muller, the cosine branch): two uniforms.
double Gauss(ReplicateRandom& random) {
  const double u1 = Uniform(random);
  const double u2 = Uniform(random);
  return std::sqrt(-2.0 * elementary::Log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

void CheckSettings(const ProjectionBasis& basis, const std::vector<CatchOption>& options,
                   const DecisionTableOptions& s) {
  if (s.Horizon < 1 || s.Horizon > kMaxDecisionHorizon) {
    throw Error("Горизонт таблицы решений должен быть от 1 до " +
                std::to_string(kMaxDecisionHorizon) + " лет, задано " + std::to_string(s.Horizon));
  }
  if (!(s.BlimFraction > 0.0 && s.BlimFraction < 1.0)) {
    throw Error("Доля BMSY, задающая Blim, должна быть больше 0 и меньше 1");
  }
  if (!(s.Risk > 0.0 && s.Risk < 1.0)) {
    throw Error("Допустимый риск должен быть больше 0 и меньше 100 %");
  }
  if (options.empty()) throw Error("Не задано ни одного варианта улова");
  for (std::size_t i = 0; i < options.size(); ++i) {
    const double c = options[i].Catch;
    if (!(c >= 0.0) || !std::isfinite(c)) {
      throw Error("Улов варианта «" + options[i].Label + "» не является неотрицательным числом");
    }
    if (i > 0 && c < options[i - 1].Catch) {
      throw Error("Варианты улова должны идти по возрастанию улова");
    }
  }
  if (!(s.ProcessSigma >= 0.0 && s.ProcessSigma <= kMaxProcessSigma)) {
    throw Error("Ошибка процесса σ должна быть от 0 до " + FormatGeneral(kMaxProcessSigma) +
                ", задано " + FormatGeneral(s.ProcessSigma));
  }
  (void)basis;
}

// The projections of the used replicates with their draws.
class Projector {
 public:
  Projector(const ProjectionBasis& basis, const DecisionTableOptions& settings, int threads)
      : basis_(basis), horizon_(static_cast<std::size_t>(settings.Horizon)), threads_(threads) {
    for (std::size_t k = 0; k < basis.Replicates.size(); ++k) {
      if (!basis.Replicates[k].Failed) starts_.push_back(StartOf(k, settings.BlimFraction));
    }
    if (starts_.empty()) throw Error("Для таблицы решений нет ни одного оценённого повтора");
    noise_.assign(starts_.size() * horizon_, 1.0);
    const double sigma = settings.ProcessSigma;
    if (sigma == 0.0) return;
    const double meanCorrection = sigma * sigma / 2.0;
    ForEachIndex(starts_.size(), threads_, [&](std::size_t j) {
      ReplicateRandom random(basis.Seed, starts_[j].Index, kDecisionTableStream);
      double* noise = &noise_[j * horizon_];
      for (std::size_t i = 0; i < horizon_; ++i) {
        noise[i] = elementary::Exp(sigma * Gauss(random) - meanCorrection);
      }
    });
  }

  std::size_t Count() const { return starts_.size(); }
  std::size_t Horizon() const { return horizon_; }

  // Every replicate in [from, to) under `c`: its status bits and B/BMSY of
  // each year into flags and ratios (replicate-major, Horizon() per replicate).
  void Run(double c, std::size_t from, std::size_t to, std::vector<std::uint8_t>& flags,
           std::vector<double>& ratios) const {
    ForEachIndex(to - from, threads_, [&](std::size_t offset) {
      const std::size_t j = from + offset;
      Project(j, c, &flags[j * horizon_], &ratios[j * horizon_]);
    });
  }

 private:
  Start StartOf(std::size_t k, double blimFraction) const {
    const Replicate& x = basis_.Replicates[k];
    Start s{k, x.R, x.K, x.P, x.BMSY, x.FMSY, blimFraction * x.BMSY, x.BLast,
            kCollapseFraction * x.K};
    const std::string where = "Таблица решений: у " + ReplicateName(k) + " ";
    if (!(x.BMSY > 0.0) || !std::isfinite(x.BMSY) || !(x.FMSY >= 0.0) || !std::isfinite(x.FMSY)) {
      throw Error(where + "нет положительных BMSY и FMSY");
    }
    if (!(x.K > 0.0) || !std::isfinite(x.K)) throw Error(where + "K не положительно");
    if (!(s.Biomass > 0.0) || !std::isfinite(s.Biomass)) {
      throw Error(where + "биомасса последнего года данных не положительна");
    }
    return s;
  }

  void Project(std::size_t j, double c, std::uint8_t* flags, double* ratios) const {
    const Start& s = starts_[j];
    const double* noise = &noise_[j * horizon_];
    double B = s.Biomass;
    double removed = basis_.LastCatch;
    for (std::size_t i = 0; i < horizon_; ++i) {
      double next = model::NextBiomass(basis_.Kind, B, s.R, s.K, s.P, removed) * noise[i];
      const bool collapsed = !(next > s.Floor) && std::isfinite(next);
      if (collapsed) next = s.Floor;
      const double F = c / next;
      if (!std::isfinite(next) || !std::isfinite(F)) {
        throw Error("Таблица решений: прогноз " + ReplicateName(s.Index) +
                    " дал бесконечное значение (год " + std::to_string(basis_.FirstYear + i) + ")");
      }
      const bool belowBmsy = collapsed || next < s.Bmsy;
      const bool aboveFmsy = F > s.Fmsy;
      flags[i] = static_cast<std::uint8_t>(
          ((collapsed || next < s.Blim) ? kBelowBlim : 0) | (belowBmsy ? kBelowBmsy : 0) |
          (aboveFmsy ? kAboveFmsy : 0) | (!belowBmsy && !aboveFmsy ? kGreen : 0));
      ratios[i] = next / s.Bmsy;
      B = next;
      removed = c;
    }
  }

  const ProjectionBasis& basis_;
  std::size_t horizon_;
  int threads_;
  std::vector<Start> starts_;
  // Per replicate and year: exp(η − σ_p²/2) multiplying the balance.
  std::vector<double> noise_;
};

// The row of catch `c` from the status of every replicate.
OptionOutlook Summarise(const Projector& projector, const std::vector<std::uint8_t>& flags,
                        std::vector<double>& ratios, int firstYear, bool medians) {
  const std::size_t n = projector.Count(), h = projector.Horizon();
  const double count = static_cast<double>(n);
  OptionOutlook row;
  std::vector<double> column(n);
  for (std::size_t i = 0; i < h; ++i) {
    std::size_t blim = 0, bmsy = 0, fmsy = 0, green = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::uint8_t f = flags[j * h + i];
      blim += (f & kBelowBlim) != 0;
      bmsy += (f & kBelowBmsy) != 0;
      fmsy += (f & kAboveFmsy) != 0;
      green += (f & kGreen) != 0;
      column[j] = ratios[j * h + i];
    }
    YearOutlook cell{
        firstYear + static_cast<int>(i), blim / count, bmsy / count, fmsy / count, green / count,
        medians ? data::SeriesMedian(column) : 0.0};
    if (i == 0 || cell.ProbBelowBlim > row.MaxProbBelowBlim) {
      row.MaxProbBelowBlim = cell.ProbBelowBlim;
      row.WorstYear = cell.Year;
    }
    row.Years.push_back(cell);
  }
  return row;
}

// Reports at most once per per cent of the work, and at the end.
class Progress {
 public:
  Progress(int total, const DecisionTableOptions& settings) : total_(total), settings_(settings) {}
  void Advance(int amount) {
    done_ += amount;
    const int percent = static_cast<int>(static_cast<long long>(done_) * 100 / total_);
    if (settings_.OnProgress && (done_ == total_ || percent > last_)) {
      last_ = percent;
      settings_.OnProgress(done_, total_);
    }
  }
  void CheckStop() const {
    if (settings_.Stop.stop_requested()) throw DecisionTableCancelled();
  }

 private:
  int total_;
  const DecisionTableOptions& settings_;
  int done_ = 0;
  int last_ = -1;
};

MaxCatchAtRisk AtCatch(CatchSearch outcome, RiskCriterion criterion, double risk, double c,
                       const OptionOutlook& row) {
  const WorstYearValue worst = WorstOf(row, criterion);
  return {outcome, criterion, risk, c, worst.Value, worst.Year,
          row.Years.back().ProbBelowBmsy, {}};
}

// What both estimators' bases share: the replicates, the seed, the years,
// MSY, the last observed catch and the truncating bounds.
ProjectionBasis BasisOf(const data::CatchEffortSeries& series, const BootstrapResult& bootstrap) {
  ProjectionBasis basis;
  basis.Kind = bootstrap.Kind;
  basis.Replicates = bootstrap.Replicates;
  basis.Seed = bootstrap.Seed;
  basis.FirstYear = series.FirstYear + static_cast<int>(series.size());
  basis.PointMsy = bootstrap.Estimate.MSY;
  basis.LastCatch = series.C.back();
  basis.Truncation = TruncatingBounds(bootstrap);
  return basis;
}

}  // namespace

ProjectionBasis ProcedureBasis(const data::CatchEffortSeries& series,
                               const BootstrapResult& bootstrap) {
  if (bootstrap.Method != Estimator::Procedure) {
    throw Error("Таблица решений: бутстреп сделан не для оценок процедуры");
  }
  const std::size_t n = series.size();
  if (n < 3 || series.C.size() != n) {
    throw Error("Для таблицы решений нужны данные не менее чем за 3 года");
  }
  return BasisOf(series, bootstrap);
}

ProjectionBasis ObservationErrorBasis(const data::CatchEffortSeries& series,
                                      const BootstrapResult& bootstrap,
                                      const estimation::ObservationErrorFit& fit) {
  if (bootstrap.Method != Estimator::ObservationError || bootstrap.Kind != fit.Kind) {
    throw Error("Таблица решений: бутстреп сделан не для этой оценки модели ошибки наблюдения");
  }
  if (series.empty() || series.C.size() != series.size()) {
    throw Error("Для таблицы решений нет ряда данных");
  }
  return BasisOf(series, bootstrap);
}

ProjectionBasis StateSpaceBasis(const data::CatchEffortSeries& series,
                                const BootstrapResult& draws,
                                const estimation::StateSpaceFit& fit) {
  if (draws.Method != Estimator::StateSpace || draws.Kind != fit.Kind) {
    throw Error("Таблица решений: выборка сделана не для этой оценки модели пространства состояний");
  }
  if (series.empty() || series.C.size() != series.size()) {
    throw Error("Для таблицы решений нет ряда данных");
  }
  return BasisOf(series, draws);
}

std::string OutlookKey(Outlook outlook) {
  static const char* const keys[kOutlookCount] = {"p_b_below_blim", "p_b_below_bmsy",
                                                  "p_f_above_fmsy", "p_green", "median_b_bmsy"};
  return keys[static_cast<std::size_t>(outlook)];
}

std::string CriterionKey(RiskCriterion criterion) {
  static const char* const keys[kRiskCriterionCount] = {"blim", "bmsy", "green"};
  return keys[static_cast<std::size_t>(criterion)];
}

WorstYearValue WorstOf(const OptionOutlook& row, RiskCriterion criterion) {
  WorstYearValue worst;
  for (std::size_t i = 0; i < row.Years.size(); ++i) {
    const YearOutlook& cell = row.Years[i];
    const double value = criterion == RiskCriterion::BelowBlim   ? cell.ProbBelowBlim
                         : criterion == RiskCriterion::BelowBmsy ? cell.ProbBelowBmsy
                                                                 : cell.ProbGreen;
    const bool worse =
        criterion == RiskCriterion::Green ? value < worst.Value : value > worst.Value;
    if (i == 0 || worse) worst = {value, cell.Year};
  }
  return worst;
}

double ValueOf(const YearOutlook& cell, Outlook outlook) {
  switch (outlook) {
    case Outlook::ProbBelowBlim:
      return cell.ProbBelowBlim;
    case Outlook::ProbBelowBmsy:
      return cell.ProbBelowBmsy;
    case Outlook::ProbAboveFmsy:
      return cell.ProbAboveFmsy;
    case Outlook::ProbGreen:
      return cell.ProbGreen;
    case Outlook::MedianBOverBmsy:
      return cell.MedianBOverBmsy;
  }
  return 0.0;
}

DecisionTable BuildDecisionTable(const ProjectionBasis& basis,
                                 const std::vector<CatchOption>& options,
                                 const DecisionTableOptions& settings) {
  CheckSettings(basis, options, settings);
  const int threads = ThreadsFor(settings.Threads);
  const Projector projector(basis, settings, threads);
  const std::size_t n = projector.Count(), h = projector.Horizon();
  std::vector<std::uint8_t> flags(n * h);
  std::vector<double> ratios(n * h);

  DecisionTable table;
  table.Horizon = settings.Horizon;
  table.FirstYear = basis.FirstYear;
  table.BlimFraction = settings.BlimFraction;
  table.ProcessSigma = settings.ProcessSigma;
  table.ProcessSource = settings.ProcessSource;
  table.Seed = basis.Seed;
  table.ReplicatesUsed = static_cast<int>(n);
  table.PointMsy = basis.PointMsy;

  // The options in parts of the replicates, so that progress and a stop are
  // seen up to about a hundred times; the search for the largest catch
  // counts as one more option.
  Progress progress(static_cast<int>((options.size() + 1) * n), settings);
  // A part is at least kMinPartYears replicate-years: a smaller one costs
  // more in starting threads than in projecting.
  const std::size_t parts = std::max<std::size_t>(1, 100 / options.size());
  const std::size_t part = std::max((n + parts - 1) / parts, (kMinPartYears + h - 1) / h);
  for (const CatchOption& option : options) {
    for (std::size_t from = 0; from < n; from += part) {
      progress.CheckStop();
      const std::size_t to = std::min(n, from + part);
      projector.Run(option.Catch, from, to, flags, ratios);
      progress.Advance(static_cast<int>(to - from));
    }
    OptionOutlook row = Summarise(projector, flags, ratios, basis.FirstYear, true);
    row.Option = option;
    table.Rows.push_back(std::move(row));
  }

  const auto evaluate = [&](double c) {
    progress.CheckStop();
    projector.Run(c, 0, n, flags, ratios);
    return Summarise(projector, flags, ratios, basis.FirstYear, false);
  };
  const double risk = settings.Risk;
  const RiskCriterion criterion = settings.Criterion;
  const auto within = [&](const OptionOutlook& row) {
    const double worst = WorstOf(row, criterion).Value;
    return criterion == RiskCriterion::Green ? worst >= risk : worst <= risk;
  };
  const auto at = [&](CatchSearch outcome, double c, const OptionOutlook& row) {
    return AtCatch(outcome, criterion, risk, c, row);
  };
  if (!basis.Truncation.empty()) {
    // The bounds set the risk: no catch is named.
    table.MaxCatch = at(CatchSearch::RefusedAtBounds, 0.0, table.Rows.front());
    table.MaxCatch.Truncation = basis.Truncation;
    progress.Advance(static_cast<int>(n));
    return table;
  }
  std::size_t above = 0;  // the first option above the risk
  while (above < table.Rows.size() && within(table.Rows[above])) ++above;
  if (above == table.Rows.size()) {
    const OptionOutlook& last = table.Rows.back();
    table.MaxCatch = at(CatchSearch::LargestOptionWithinRisk, last.Option.Catch, last);
  } else {
    const double high = table.Rows[above].Option.Catch;
    OptionOutlook best = above > 0 ? table.Rows[above - 1] : table.Rows[0];
    double low = above > 0 ? best.Option.Catch : 0.0;
    if (above == 0 && high > 0.0) best = evaluate(0.0);
    if (above == 0 && (high == 0.0 || !within(best))) {
      table.MaxCatch = at(CatchSearch::NoneWithinRisk, 0.0, best);
    } else {
      // Bisection on the grid k·unit strictly between low and high.
      const double unit = elementary::Pow(10.0, std::floor(std::log10(high)) - 3.0);
      auto lowStep = static_cast<long long>(std::floor(low / unit));
      auto highStep = static_cast<long long>(std::ceil(high / unit));
      while (highStep - lowStep > 1) {
        const long long middle = lowStep + (highStep - lowStep) / 2;
        const double c = static_cast<double>(middle) * unit;
        OptionOutlook row = evaluate(c);
        if (within(row)) {
          lowStep = middle;
          low = c;
          best = std::move(row);
        } else {
          highStep = middle;
        }
      }
      table.MaxCatch = at(CatchSearch::Found, low, best);
    }
  }
  progress.Advance(static_cast<int>(n));
  return table;
}

}  // namespace tarvik::uncertainty
