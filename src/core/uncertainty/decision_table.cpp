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
  double R = 0.0, K = 0.0, Q = 0.0, P = 0.0;
  double Bmsy = 0.0, Fmsy = 0.0, Blim = 0.0;
  // CPUE step: A[−2] = U[L−1] and A[−1] = U0; biomass balance: B_L in Older.
  double Older = 0.0, Previous = 0.0;
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
  if (s.ProcessError && basis.Model == Dynamics::CpueStep && basis.Residuals.empty()) {
    throw Error("Нет остатков модели для ошибки процесса");
  }
  if (s.ProcessError && basis.Model == Dynamics::BiomassBalance &&
      (!(basis.Sigma >= 0.0) || !std::isfinite(basis.Sigma))) {
    throw Error("Стандартное отклонение ошибки процесса не является числом");
  }
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
    errors_.assign(starts_.size() * horizon_, basis.Model == Dynamics::CpueStep ? 0.0 : 1.0);
    if (!settings.ProcessError) return;
    ForEachIndex(starts_.size(), threads_, [&](std::size_t j) {
      ReplicateRandom random(basis.Seed, starts_[j].Index, kDecisionTableStream);
      double* errors = &errors_[j * horizon_];
      for (std::size_t i = 0; i < horizon_; ++i) {
        errors[i] = basis.Model == Dynamics::CpueStep
                        ? DrawResidual(basis.Residuals, random)
                        : elementary::Exp(basis.Sigma * Gauss(random));
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
    Start s{k, x.R, x.K, x.Q, x.P, x.BMSY, x.FMSY, blimFraction * x.BMSY};
    const std::string where = "Таблица решений: у " + ReplicateName(k) + " ";
    if (!(x.BMSY > 0.0) || !std::isfinite(x.BMSY) || !(x.FMSY >= 0.0) || !std::isfinite(x.FMSY)) {
      throw Error(where + "нет положительных BMSY и FMSY");
    }
    if (!(x.K > 0.0) || !std::isfinite(x.K)) throw Error(where + "K не положительно");
    if (basis_.Model == Dynamics::BiomassBalance) {
      s.Older = x.BLast;
      s.Floor = kCollapseFraction * x.K;
      if (!(s.Older > 0.0) || !std::isfinite(s.Older)) {
        throw Error(where + "биомасса последнего года данных не положительна");
      }
      return s;
    }
    if (!(x.Q > 0.0) || !std::isfinite(x.Q)) throw Error(where + "q не положительно");
    // U0 where the projection starts.
    s.Older = basis_.CpueOneBack;
    s.Previous = model::StartCpue(basis_.Kind, x.R, x.K, x.Q, x.P, basis_.CpueTwoBack,
                                  basis_.CpueOneBack, basis_.CatchOneBack);
    s.Floor = kCollapseFraction * x.Q * x.K;
    if (!(s.Older > 0.0) || !(s.Previous > 0.0) || !std::isfinite(s.Previous)) {
      throw Error(where + "улов на усилие начала прогноза не положителен");
    }
    return s;
  }

  void Project(std::size_t j, double c, std::uint8_t* flags, double* ratios) const {
    const Start& s = starts_[j];
    const double* errors = &errors_[j * horizon_];
    const auto record = [&](std::size_t i, double B, bool collapsed) {
      const double F = c / B;
      if (!std::isfinite(B) || !std::isfinite(F)) {
        throw Error("Таблица решений: прогноз " + ReplicateName(s.Index) +
                    " дал бесконечное значение (год " + std::to_string(basis_.FirstYear + i) + ")");
      }
      const bool belowBmsy = collapsed || B < s.Bmsy;
      const bool aboveFmsy = F > s.Fmsy;
      flags[i] = static_cast<std::uint8_t>(
          ((collapsed || B < s.Blim) ? kBelowBlim : 0) | (belowBmsy ? kBelowBmsy : 0) |
          (aboveFmsy ? kAboveFmsy : 0) | (!belowBmsy && !aboveFmsy ? kGreen : 0));
      ratios[i] = B / s.Bmsy;
    };
    if (basis_.Model == Dynamics::BiomassBalance) {
      double B = s.Older;
      double removed = basis_.LastCatch;
      for (std::size_t i = 0; i < horizon_; ++i) {
        double next =
            (B + model::SurplusProduction(basis_.Kind, B, s.R, s.K, s.P) - removed) * errors[i];
        const bool collapsed = !(next > s.Floor) && std::isfinite(next);
        if (collapsed) next = s.Floor;
        record(i, next, collapsed);
        B = next;
        removed = c;
      }
      return;
    }
    const double twoQ = 2.0 * s.Q;
    double older = s.Older, previous = s.Previous, previousCatch = basis_.LastCatch;
    for (std::size_t i = 0; i < horizon_; ++i) {
      const double S = older + previous;
      const double shape = model::ProductionShape(basis_.Kind, S / twoQ, s.K, s.P);
      double a = older + s.R * S * shape + errors[i] - twoQ * previousCatch;
      const bool collapsed = !(a > s.Floor) && std::isfinite(a);
      if (collapsed) a = s.Floor;
      record(i, (a + previous) / twoQ, collapsed);
      older = previous;
      previous = a;
      previousCatch = c;
    }
  }

  const ProjectionBasis& basis_;
  std::size_t horizon_;
  int threads_;
  std::vector<Start> starts_;
  // Per replicate and year: ε added to the CPUE step, or exp(η) multiplying
  // the balance.
  std::vector<double> errors_;
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

MaxCatchAtRisk AtCatch(CatchSearch outcome, double risk, double c, const OptionOutlook& row) {
  return {outcome, risk, c, row.MaxProbBelowBlim, row.WorstYear, row.Years.back().ProbBelowBmsy};
}

std::string Percent(double fraction, char mark) {
  return FormatFixed(100.0 * fraction, 1, mark) + " %";
}

std::string YearsText(const DecisionTable& t) {
  if (t.Horizon == 1) return "в " + std::to_string(t.FirstYear) + " г.";
  return "в каждом году " + std::to_string(t.FirstYear) + "–" +
         std::to_string(t.FirstYear + t.Horizon - 1);
}

std::string TonnesAndMsy(const DecisionTable& t, double c, char mark) {
  std::string text = CatchText(c, mark) + " т";
  if (t.PointMsy > 0.0) text += " (" + FormatFixed(c / t.PointMsy, 2, mark) + "·MSY)";
  return text;
}

// What both estimators' bases share: the replicates, the seed, the years,
// MSY and the last observed catch.
ProjectionBasis BasisOf(Dynamics model, const data::CatchEffortSeries& series,
                        const BootstrapResult& bootstrap) {
  ProjectionBasis basis;
  basis.Model = model;
  basis.Kind = bootstrap.Kind;
  basis.Replicates = bootstrap.Replicates;
  basis.Seed = bootstrap.Seed;
  basis.FirstYear = series.FirstYear + static_cast<int>(series.size());
  basis.PointMsy = bootstrap.Estimate.MSY;
  basis.LastCatch = series.C.back();
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
  ProjectionBasis basis = BasisOf(Dynamics::CpueStep, series, bootstrap);
  basis.CpueTwoBack = series.U[n - 3];
  basis.CpueOneBack = series.U[n - 2];
  basis.CatchOneBack = series.C[n - 2];
  const Replicate& e = bootstrap.Estimate;
  basis.Residuals = model::CpueResiduals(series.U, series.C, bootstrap.Kind, e.R, e.K, e.Q, e.P);
  double mean = 0.0;
  for (double r : basis.Residuals) mean += r;
  mean /= static_cast<double>(basis.Residuals.size());
  for (double& r : basis.Residuals) {
    r -= mean;
    if (!std::isfinite(r)) throw Error("Остатки точечной оценки не являются конечными числами");
  }
  return basis;
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
  ProjectionBasis basis = BasisOf(Dynamics::BiomassBalance, series, bootstrap);
  basis.Sigma = fit.Sigma;
  return basis;
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
  ProjectionBasis basis = BasisOf(Dynamics::BiomassBalance, series, draws);
  basis.Sigma = fit.SigmaP.Value;
  return basis;
}

std::string OutlookKey(Outlook outlook) {
  static const char* const keys[kOutlookCount] = {"p_b_below_blim", "p_b_below_bmsy",
                                                  "p_f_above_fmsy", "p_green", "median_b_bmsy"};
  return keys[static_cast<std::size_t>(outlook)];
}

std::string OutlookName(Outlook outlook) {
  static const char* const names[kOutlookCount] = {"P(B < Blim)", "P(B < BMSY)", "P(F > FMSY)",
                                                   "P(зелёная зона)", "Медиана B/BMSY"};
  return names[static_cast<std::size_t>(outlook)];
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
  table.Model = basis.Model;
  table.Horizon = settings.Horizon;
  table.FirstYear = basis.FirstYear;
  table.BlimFraction = settings.BlimFraction;
  table.ProcessError = settings.ProcessError;
  table.Sigma = basis.Sigma;
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
  const auto within = [&](const OptionOutlook& row) { return row.MaxProbBelowBlim <= risk; };
  std::size_t above = 0;  // the first option above the risk
  while (above < table.Rows.size() && within(table.Rows[above])) ++above;
  if (above == table.Rows.size()) {
    const OptionOutlook& last = table.Rows.back();
    table.MaxCatch = AtCatch(CatchSearch::LargestOptionWithinRisk, risk, last.Option.Catch, last);
  } else {
    const double high = table.Rows[above].Option.Catch;
    OptionOutlook best = above > 0 ? table.Rows[above - 1] : table.Rows[0];
    double low = above > 0 ? best.Option.Catch : 0.0;
    if (above == 0 && high > 0.0) best = evaluate(0.0);
    if (above == 0 && (high == 0.0 || !within(best))) {
      table.MaxCatch = AtCatch(CatchSearch::NoneWithinRisk, risk, 0.0, best);
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
      table.MaxCatch = AtCatch(CatchSearch::Found, risk, low, best);
    }
  }
  progress.Advance(static_cast<int>(n));
  return table;
}

RiskColour ColourOf(Outlook outlook, double value, double risk) {
  // Thresholds from the best class down, for a value where more is better.
  const auto classify = [](double v, double dark, double light, double yellow, double orange) {
    if (v >= dark) return RiskColour::DarkGreen;
    if (v >= light) return RiskColour::LightGreen;
    if (v >= yellow) return RiskColour::Yellow;
    if (v >= orange) return RiskColour::Orange;
    return RiskColour::Red;
  };
  switch (outlook) {
    case Outlook::ProbGreen:
      return classify(value, 0.75, 0.70, 0.60, 0.50);
    case Outlook::ProbBelowBmsy:
    case Outlook::ProbAboveFmsy:
      return classify(-value, -0.25, -0.30, -0.40, -0.50);
    case Outlook::ProbBelowBlim:
      return classify(-value, -0.5 * risk, -risk, -2.0 * risk, -4.0 * risk);
    case Outlook::MedianBOverBmsy:
      return classify(value, 1.0, 0.9, 0.75, 0.5);
  }
  return RiskColour::Red;
}

std::string CellText(Outlook outlook, double value, char mark) {
  if (outlook == Outlook::MedianBOverBmsy) return FormatFixed(value, 2, mark);
  return Percent(value, mark);
}

std::vector<std::string> TableLines(const DecisionTable& table, Outlook outlook, char mark) {
  std::string head = "Вариант\tУлов, т";
  for (int i = 0; i < table.Horizon; ++i) head += "\t" + std::to_string(table.FirstYear + i);
  std::vector<std::string> lines{head};
  for (const OptionOutlook& row : table.Rows) {
    std::string line = row.Option.Label + "\t" + CatchText(row.Option.Catch, mark);
    for (const YearOutlook& cell : row.Years)
      line += "\t" + CellText(outlook, ValueOf(cell, outlook), mark);
    lines.push_back(line);
  }
  return lines;
}

std::string MaxCatchSentence(const DecisionTable& table, char mark) {
  const MaxCatchAtRisk& m = table.MaxCatch;
  const std::string risk = FormatGeneral(100.0 * m.Risk, mark) + " %";
  const std::string end = std::to_string(table.FirstYear + table.Horizon - 1);
  switch (m.Outcome) {
    case CatchSearch::Found:
      return "Наибольший постоянный улов, при котором вероятность B < Blim не выше " + risk + " " +
             YearsText(table) + ": " + TonnesAndMsy(table, m.Catch, mark) +
             "; вероятность B < BMSY в " + end + " г. при нём " +
             Percent(m.ProbBelowBmsyEnd, mark) + ".";
    case CatchSearch::NoneWithinRisk:
      return "Даже без вылова вероятность B < Blim выше " + risk + " (" +
             Percent(m.MaxProbBelowBlim, mark) + " в " + std::to_string(m.WorstYear) +
             " г.): постоянного улова с таким риском нет.";
    case CatchSearch::LargestOptionWithinRisk:
      return "Все варианты улова, до наибольшего " + TonnesAndMsy(table, m.Catch, mark) +
             ", держат вероятность B < Blim не выше " + risk + " " + YearsText(table) +
             " (вероятность B < BMSY в " + end + " г. при нём " +
             Percent(m.ProbBelowBmsyEnd, mark) +
             "): наибольший допустимый улов не меньше его; чтобы найти его, добавьте варианты "
             "больше.";
  }
  return "";
}

std::vector<std::string> DecisionReportLines(const DecisionTable& table, char mark) {
  std::vector<std::string> lines;
  lines.push_back("Таблица решений: вероятность B < Blim при постоянном улове (Blim = " +
                  FormatGeneral(table.BlimFraction, mark) + "·BMSY каждого повтора; повторов " +
                  std::to_string(table.ReplicatesUsed) + ", зерно " + std::to_string(table.Seed) +
                  ")");
  lines.push_back(
      table.Model == Dynamics::CpueStep
          ? "Динамика запаса: разностное уравнение прогноза по улову на усилие с параметрами "
            "каждого повтора, от его модельного улова на усилие последнего года данных"
          : "Динамика запаса: годовой баланс B[t+1] = B[t] + P(B[t]) − C[t] модели ошибки "
            "наблюдения с параметрами каждого повтора, от его биомассы на начало последнего "
            "года данных");
  if (!table.ProcessError) {
    lines.push_back("Ошибка процесса: нет");
  } else {
    lines.push_back(
        "Ошибка процесса: " +
        (table.Model == Dynamics::CpueStep
             ? std::string("остатки точечной оценки, центрированные по среднему, выбранные с "
                           "возвращением")
             : "логнормальная, σ = " + FormatFixed(table.Sigma, 3, mark) + " (оценка модели)") +
        "; одни и те же случайные числа для всех вариантов улова");
  }
  for (std::string& line : TableLines(table, Outlook::ProbBelowBlim, mark)) {
    lines.push_back(std::move(line));
  }
  lines.push_back(MaxCatchSentence(table, mark));
  return lines;
}

}  // namespace tarvik::uncertainty
