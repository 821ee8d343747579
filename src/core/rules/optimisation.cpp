#include "rules/optimisation.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "model/checked.h"
#include "projection/projection.h"
#include "rules/rule_list.h"

namespace tarvik::rules {

namespace {

constexpr int kMaxHorizon = 20;

// Advances the source past `count` normal draws exactly as GaussDeviate does
// (two uniform numbers per attempt, attempts with s ≥ 1 repeated) without the
// logarithm and square root: where a candidate's draws would start.
void SkipGaussianDraws(model::RandomSource& random, long long count) {
  for (long long i = 0; i < count; ++i) {
    for (;;) {
      const double u1 = 2.0 * random.RandomReal() - 1.0;
      const double u2 = 2.0 * random.RandomReal() - 1.0;
      const double s = u2 * u2 + u1 * u1;
      if (s < 1.0 && s != 0.0) break;
    }
  }
}

// One grid point of a sweep.
struct Candidate {
  double Alpha = 0.0;
  double Beta = 0.0;
};

// What one candidate's evaluation needs besides its parameters.
struct SweepInput {
  const data::CatchEffortSeries* Series = nullptr;
  const RuleContext* Context = nullptr;
  const OptimisationOptions* Options = nullptr;
  double MeanBiomass = 0.0;
};

CandidateIndicators Evaluate(const SweepInput& input, const Candidate& candidate,
                             model::RandomSource& random) {
  const HarvestRule rule{input.Options->Kind, candidate.Alpha, candidate.Beta,
                         input.Options->TargetKind};
  return EvaluateCandidate(*input.Series, *input.Context, input.Options->Variant, rule,
                           static_cast<std::uint8_t>(input.Options->Horizon), input.MeanBiomass,
                           random, input.Options->Runs);
}

// Evaluates the candidates in order on one random stream and calls
// `accept(index, value)` for each in that order.
//
// Sequentially this is the plain loop. With several threads the candidates
// are evaluated speculatively in blocks: a cheap pass over the stream finds
// where each candidate's draws start if every projection step succeeds at its
// first attempt (runs·h normal draws per candidate); the block is evaluated
// in parallel from those states; then, in order, a candidate is accepted only
// when its predicted start equals the state the previous candidate really
// ended in. A candidate that needed extra attempts makes the next prediction
// wrong; evaluation resumes there from the true state. Accepted results are
// therefore exactly those of the sequential loop.
//
// With noisy data (residuals of a third of the CPUE, as in many real series)
// nearly every candidate of 1000 × h projections needs a few extra attempts,
// and speculation only wastes work: when a block keeps less than half of its
// candidates the rest of the sweep runs sequentially.
template <typename Accept>
void EvaluateInOrder(const SweepInput& input, const std::vector<Candidate>& candidates,
                     model::RandomSource& random, unsigned threads, Accept accept) {
  const std::size_t n = candidates.size();
  const long long drawsPerCandidate =
      static_cast<long long>(input.Options->Runs) * input.Options->Horizon;
  const std::size_t maxBlock = 32 * static_cast<std::size_t>(threads);
  std::size_t blockSize = 4 * static_cast<std::size_t>(threads);
  bool speculate = threads > 1 && n > 1;

  std::vector<std::uint32_t> starts, ends;
  std::vector<CandidateIndicators> values;
  std::vector<std::exception_ptr> errors;
  std::size_t position = 0;
  while (position < n) {
    if (!speculate) {
      accept(position, Evaluate(input, candidates[position], random));
      ++position;
      continue;
    }
    const std::size_t block = std::min(blockSize, n - position);
    starts.assign(block, 0);
    ends.assign(block, 0);
    values.assign(block, {});
    errors.assign(block, nullptr);

    model::RandomSource walker(random.Seed());
    for (std::size_t b = 0; b < block; ++b) {
      starts[b] = walker.Seed();
      if (b + 1 < block) SkipGaussianDraws(walker, drawsPerCandidate);
    }

    ParallelFor(block, static_cast<int>(threads), [&](std::size_t b) {
      model::RandomSource own(starts[b]);
      try {
        values[b] = Evaluate(input, candidates[position + b], own);
      } catch (...) {
        errors[b] = std::current_exception();
      }
      ends[b] = own.Seed();
    });

    std::size_t accepted = 0;
    for (std::size_t b = 0; b < block; ++b) {
      if (b > 0 && starts[b] != ends[b - 1]) break;  // the prediction failed here
      if (errors[b]) {
        // Repeat the failing candidate on the shared source so that it stops
        // exactly where the sequential loop would have stopped.
        random.Restore(starts[b]);
        Evaluate(input, candidates[position + b], random);
        std::rethrow_exception(errors[b]);  // not reached when the repeat throws
      }
      accept(position + b, values[b]);
      random.Restore(ends[b]);
      ++accepted;
    }
    position += accepted;
    if (accepted == block) {
      blockSize = std::min(2 * blockSize, maxBlock);
    } else if (2 * accepted < block) {
      speculate = false;
    }
  }
}

void Validate(const RuleContext& context, const OptimisationOptions& options) {
  if (options.Horizon < 1 || options.Horizon > kMaxHorizon) {
    throw Error("Прогнозный горизонт должен быть от 1 до " + std::to_string(kMaxHorizon) +
                " лет, задано " + std::to_string(options.Horizon));
  }
  if (options.Runs < 1) {
    throw Error("Число прогонов на вариант ПРП должно быть положительным");
  }
  if (options.Variant >= context.Fits.size()) {
    throw Error("Вариант модели " + std::to_string(options.Variant) + " не существует");
  }
  ThreadsFor(options.Threads);  // refuses a count out of range before anything is drawn
}

}  // namespace

double MeanObservedBiomass(const data::CatchEffortSeries& series, const model::ModelFit& fit) {
  if (series.empty()) throw Error("Нет данных для расчёта средней наблюдённой биомассы");
  double sum = 0.0;
  for (double u : series.U) {
    sum += model::Divide(u, fit.Q, "расчёте средней наблюдённой биомассы: q равно 0");
  }
  return sum / static_cast<double>(series.size());
}

CandidateIndicators EvaluateCandidate(const data::CatchEffortSeries& series,
                                      const RuleContext& context, std::uint8_t variant,
                                      const HarvestRule& rule, std::uint8_t horizon,
                                      double meanBiomass, model::RandomSource& random, int runs) {
  if (horizon == 0) throw Error("Прогнозный горизонт должен быть не меньше 1 года");
  if (runs < 1) throw Error("Число прогонов на вариант ПРП должно быть положительным");
  const projection::StockProjection projection(series, context, variant, rule, horizon,
                                               projection::ProcessError{true, true});
  std::vector<double> biomass(horizon), catches(horizon);
  const double h = static_cast<double>(horizon);
  double catchSum = 0.0, biomassSum = 0.0, spreadSum = 0.0;
  long long below = 0;
  for (int k = 0; k < runs; ++k) {
    projection.Run(random, biomass, catches, {});
    double runCatch = 0.0;
    for (std::size_t y = 0; y < horizon; ++y) {
      catchSum += catches[y];
      biomassSum += biomass[y];
      if (biomass[y] < meanBiomass) ++below;
      runCatch += catches[y];
    }
    const double runMean = runCatch / h;
    double squares = 0.0;
    for (std::size_t y = 0; y < horizon; ++y) {
      const double deviation = catches[y] - runMean;
      squares += deviation * deviation;
    }
    spreadSum += std::sqrt(squares / h);
  }
  const double N = static_cast<double>(runs) * h;
  CandidateIndicators result;
  result.MeanCatch = catchSum / N;
  result.MeanBiomass = biomassSum / N;
  result.CatchVariability = (1.0 / static_cast<double>(runs)) * spreadSum;
  result.RiskBelowMean = static_cast<double>(below) / N;
  if (!std::isfinite(result.MeanCatch) || !std::isfinite(result.MeanBiomass) ||
      !std::isfinite(result.CatchVariability)) {
    throw Error("Показатели ПРП не являются конечными числами (alpha = " +
                FormatGeneral(rule.Alpha) + ", beta = " + FormatGeneral(rule.Beta) + ")");
  }
  return result;
}

OptimisationResult OptimiseRule(const data::CatchEffortSeries& series, const RuleContext& context,
                                const OptimisationOptions& options, model::RandomSource& random,
                                char decimalMark) {
  OptimisationResult result;
  result.Kind = options.Kind;
  if (options.Kind != RuleKind::PiecewiseLinear && options.Kind != RuleKind::Logistic) {
    result.RandomSeedAfter = random.Seed();
    return result;  // nothing to sweep
  }
  Validate(context, options);
  result.MeanBiomass = MeanObservedBiomass(series, context.Fits[options.Variant]);

  const bool logistic = options.Kind == RuleKind::Logistic;
  result.Alphas = logistic ? LogisticAlphas() : PiecewiseLinearAlphas();
  result.Betas = logistic ? LogisticBetas() : std::vector<double>{0.0};
  std::vector<Candidate> candidates;
  candidates.reserve(result.Alphas.size() * result.Betas.size());
  for (double alpha : result.Alphas) {
    for (double beta : result.Betas) candidates.push_back({alpha, beta});
  }
  result.Candidates.resize(candidates.size());

  const SweepInput input{&series, &context, &options, result.MeanBiomass};
  const std::size_t columns = result.Betas.size();
  const int rows = static_cast<int>(result.Alphas.size());
  EvaluateInOrder(input, candidates, random, static_cast<unsigned>(ThreadsFor(options.Threads)),
                  [&](std::size_t c, const CandidateIndicators& value) {
                    result.Candidates[c] = value;
                    TrackBest(result.Best, value, candidates[c].Alpha, candidates[c].Beta);
                    if (options.OnProgress && (c + 1) % columns == 0) {
                      options.OnProgress(static_cast<int>((c + 1) / columns), rows);
                    }
                  });

  result.AlphaText = FormatFixed(result.Best.BestCatchAlpha, 2, decimalMark);
  if (logistic) result.BetaText = FormatFixed(result.Best.BestCatchBeta, 2, decimalMark);
  result.RandomSeedAfter = random.Seed();
  return result;
}

PointList IndicatorChart(const OptimisationResult& result, Indicator indicator) {
  PointList points;
  if (result.Betas.size() != 1) return points;  // charts belong to the piecewise-linear sweep
  points.reserve(result.Alphas.size());
  for (std::size_t j = 0; j < result.Alphas.size(); ++j) {
    points.push_back({result.Alphas[j], IndicatorValue(result.Candidates[j], indicator)});
  }
  return points;
}

const std::array<std::string, 4>& IndicatorChartTitles() {
  static const std::array<std::string, 4> kTitles = {"Улов, т", "Биомасса, т",
                                                     "Вариабельность улова", "Риск B < B ср."};
  return kTitles;
}

}  // namespace tarvik::rules
