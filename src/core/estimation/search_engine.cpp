#include "estimation/search_engine.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "common/elementary.h"
#include "common/error.h"
#include "common/threads.h"
#include "model/checked.h"
#include "model/objective.h"

namespace tarvik::estimation {

namespace {

bool NearBound(double x, double bound) {
  if (x == bound) return true;
  if (!(x > 0.0) || !(bound > 0.0)) return false;
  return std::fabs(elementary::Log(x) - elementary::Log(bound)) < kOnBoundTolerance;
}

}  // namespace

BoundSide SideOnBound(double x, double lo, double hi) {
  if (!(lo < hi)) return BoundSide::None;
  if (x >= hi || NearBound(x, hi)) return BoundSide::Upper;
  if (x <= lo || NearBound(x, lo)) return BoundSide::Lower;
  return BoundSide::None;
}
namespace {

using model::ProductionModelKind;
using model::RandomSource;

constexpr double kStepSigma = 0.5;
constexpr int kCheckpointPeriod = 10000;

// Rounds smaller than this are judged one trial at a time on the calling
// thread; waking the other threads costs more than it saves.
constexpr std::size_t kParallelMinimum = 256;
constexpr std::size_t kFirstBatch = 16;
constexpr std::size_t kMaxBatch = 8192;

[[noreturn]] void ThrowOverflow() {
  throw Error(
      "Переполнение при вычислении пробной точки поиска (слишком большие значения параметров)");
}

// ln of the best point, cached between improvements.
struct LogPoint {
  double r = 0.0;
  double K = 0.0;
  double q = 0.0;
  double p = 0.0;
};

LogPoint LogsOf(const ParameterPoint& x, bool withP) {
  LogPoint l;
  l.r = model::Log(x.r, "параметра r");
  l.K = model::Log(x.K, "параметра K");
  l.q = model::Log(x.q, "параметра q");
  if (withP) l.p = model::Log(x.p, "показателя степени p");
  return l;
}

inline bool FiniteTrial(const ParameterPoint& x) {
  return std::isfinite(x.r) && std::isfinite(x.K) && std::isfinite(x.q) && std::isfinite(x.p);
}

double Evaluate(const ObjectiveEvaluator& evaluator, const ParameterPoint& x, bool reference) {
  if (reference) {
    return model::EvaluateObjective(evaluator.U(), evaluator.C(), evaluator.objective(),
                                    evaluator.kind(), x.r, x.K, x.q, x.p, evaluator.keepCount());
  }
  return evaluator.Evaluate(x.r, x.K, x.q, x.p);
}

ObjectiveEvaluator::RejectionLimit LimitAt(const ObjectiveEvaluator& evaluator,
                                           const SearchOutcome& best) {
  return evaluator.LimitFor(best.Objective, best.Best.r, best.Best.K, best.Best.q, best.Best.p);
}

// ---------------------------------------------------------------------------
// The plain loop, exactly as the search is written.

class SequentialSearch {
 public:
  SequentialSearch(const ObjectiveEvaluator& evaluator, const ParameterBounds& bounds,
                   RandomSource& random, const EngineOptions& options)
      : evaluator_(evaluator), bounds_(bounds), random_(random), options_(options) {}

  SearchOutcome Run(ParameterPoint start) {
    const bool pt = evaluator_.kind() == ProductionModelKind::PellaTomlinson;
    SearchOutcome out;
    out.Best = start;
    out.Objective = Evaluate(evaluator_, start, options_.ReferenceEvaluator);
    out.Evaluations = 1;
    LogPoint logs = LogsOf(out.Best, pt);
    ObjectiveEvaluator::RejectionLimit limit = LimitAt(evaluator_, out);
    int failures = 0;
    while (failures < options_.MaxFailures) {
      ++failures;
      ParameterPoint trial;
      trial.r = elementary::Exp(random_.RandomGauss(logs.r, kStepSigma));
      trial.K = elementary::Exp(random_.RandomGauss(logs.K, kStepSigma));
      trial.q = elementary::Exp(random_.RandomGauss(logs.q, kStepSigma));
      trial.p = pt ? elementary::Exp(random_.RandomGauss(logs.p, kStepSigma)) : out.Best.p;
      ++out.Trials;
      if (!FiniteTrial(trial)) ThrowOverflow();
      ClampToBounds(trial, bounds_, pt);
      ++out.Evaluations;
      double f = 0.0;
      bool better = false;
      if (options_.ReferenceEvaluator) {
        f = Evaluate(evaluator_, trial, true);
        better = f < out.Objective;
      } else {
        switch (evaluator_.Compare(trial.r, trial.K, trial.q, trial.p, limit, f)) {
          case ObjectiveEvaluator::Verdict::NotBetter:
            break;
          case ObjectiveEvaluator::Verdict::Value:
            better = f < out.Objective;
            break;
          case ObjectiveEvaluator::Verdict::Fallback:
            f = Evaluate(evaluator_, trial, true);
            better = f < out.Objective;
            break;
        }
      }
      if (better) {
        out.Objective = f;
        out.Best = trial;
        ++out.Improvements;
        logs = LogsOf(out.Best, pt);
        limit = LimitAt(evaluator_, out);
        failures = 0;
      }
      if (failures % kCheckpointPeriod == 0 && options_.OnCheckpoint) {
        options_.OnCheckpoint(failures);
      }
    }
    return out;
  }

 private:
  const ObjectiveEvaluator& evaluator_;
  const ParameterBounds& bounds_;
  RandomSource& random_;
  const EngineOptions& options_;
};

// ---------------------------------------------------------------------------
// Draw-ahead search. The deviates of a trial depend only on the random
// stream, never on the best point: RandomGauss(ln r, 0.5) is
// ln r + GaussDeviate(0.5). So the stream is run ahead on the calling thread,
// keeping for each trial the accepted polar pairs (u1, s) and the state after
// it; the trials of a round are then evaluated on all threads around the
// current best point and judged in sequence order on the calling thread. The
// first improving trial is accepted; the trials after it are evaluated again
// around the new best point in later rounds (their deviates stay the same).
// Trials drawn but not judged never reach the caller's random state.
//
// A round: the calling thread releases the other threads, runs the stream
// ahead for the next round, then joins in; each thread takes chunks of the
// round's trials until none is left.

enum class TrialStatus : std::uint8_t { NotBetter, Value, Fallback, Overflow };

struct alignas(64) Trial {
  double deviate[4];  // u1 of the polar pair until `ready`, then the deviate
  double s[4];        // s of the polar pair
  ParameterPoint point;
  double value;
  std::uint32_t seedAfter;
  bool ready;
  TrialStatus status;
};

constexpr std::size_t kChunk = 64;                // trials a thread takes at a time
constexpr std::size_t kCapacity = 2 * kMaxBatch;  // ring of trials drawn ahead (power of 2)

class ParallelSearch {
 public:
  ParallelSearch(const ObjectiveEvaluator& evaluator, const ParameterBounds& bounds,
                 RandomSource& random, const EngineOptions& options)
      : evaluator_(evaluator),
        bounds_(bounds),
        random_(random),
        options_(options),
        pt_(evaluator.kind() == ProductionModelKind::PellaTomlinson),
        deviatesPerTrial_(pt_ ? 4 : 3),
        threads_(std::max(1, options.Threads)),
        drawer_(random.Seed()),
        ring_(new Trial[kCapacity]) {}

  SearchOutcome Run(ParameterPoint start) {
    SearchOutcome out;
    out.Best = start;
    out.Objective = Evaluate(evaluator_, start, options_.ReferenceEvaluator);
    out.Evaluations = 1;
    best_ = start;
    logs_ = LogsOf(best_, pt_);
    limit_ = LimitAt(evaluator_, out);
    pool_.emplace(threads_);
    std::uint32_t judgedSeed = random_.Seed();
    try {
      int failures = 0;
      std::size_t batch = kFirstBatch;
      while (failures < options_.MaxFailures) {
        const std::size_t count =
            std::min<std::size_t>(batch, static_cast<std::size_t>(options_.MaxFailures - failures));
        const bool parallel = count >= kParallelMinimum && pool_->Threads() > 1;
        const std::uint64_t end = pos_ + count;
        if (parallel) {
          DrawUpTo(end);
          // While the round runs, draw for the next one (at most a full batch).
          EvaluateRound(pos_, end, end + std::min(2 * batch, kMaxBatch));
        }
        bool improved = false;
        std::uint64_t i = pos_;
        for (; i < end; ++i) {
          if (!parallel) {
            DrawUpTo(i + 1);
            EvaluateTrial(At(i));
          }
          const Trial& trial = At(i);
          ++failures;
          ++out.Trials;
          ++out.Evaluations;
          judgedSeed = trial.seedAfter;
          double f = 0.0;
          if (Judge(trial, out.Objective, f)) {
            out.Objective = f;
            out.Best = trial.point;
            ++out.Improvements;
            best_ = trial.point;
            logs_ = LogsOf(best_, pt_);
            limit_ = LimitAt(evaluator_, out);
            failures = 0;
            improved = true;
          }
          if (failures % kCheckpointPeriod == 0 && options_.OnCheckpoint) {
            options_.OnCheckpoint(failures);
          }
          if (improved || failures >= options_.MaxFailures) break;
        }
        // The trials after an improvement keep their deviates; their values
        // are stale, and every trial is evaluated again in the round that
        // judges it.
        pos_ = std::min(i + 1, end);
        if (parallel) {
          ++out.ParallelRounds;
          out.Discarded += end - pos_;
        }
        batch = improved ? std::max(kFirstBatch, batch / 4) : std::min(kMaxBatch, batch * 2);
      }
    } catch (...) {
      random_.Restore(judgedSeed);
      throw;
    }
    random_.Restore(judgedSeed);
    return out;
  }

 private:
  Trial& At(std::uint64_t sequence) { return ring_[sequence & (kCapacity - 1)]; }

  // Runs the stream ahead until trials up to (not including) `end` are drawn.
  void DrawUpTo(std::uint64_t end) {
    end = std::min(end, pos_ + kCapacity);
    while (drawn_ < end) {
      Trial& trial = At(drawn_);
      for (int k = 0; k < deviatesPerTrial_; ++k) {
        // The accepted pair of RandomSource::GaussDeviate.
        for (;;) {
          const double u1 = 2.0 * drawer_.RandomReal() - 1.0;
          const double u2 = 2.0 * drawer_.RandomReal() - 1.0;
          const double s = u2 * u2 + u1 * u1;
          if (s < 1.0 && s != 0.0) {
            trial.deviate[k] = u1;
            trial.s[k] = s;
            break;
          }
        }
      }
      trial.seedAfter = drawer_.Seed();
      trial.ready = false;
      trial.status = TrialStatus::Fallback;
      trial.value = 0.0;
      ++drawn_;
    }
  }

  // The trial point around the current best point, clamped, and its verdict.
  // Runs on any thread; touches only `trial`.
  void EvaluateTrial(Trial& trial) const noexcept {
    if (!trial.ready) {
      for (int k = 0; k < deviatesPerTrial_; ++k) {
        const double u1 = trial.deviate[k];
        const double s = trial.s[k];
        trial.deviate[k] = kStepSigma * u1 * std::sqrt(-2.0 * elementary::Log(s) / s);
      }
      trial.ready = true;
    }
    ParameterPoint& x = trial.point;
    x.r = elementary::Exp(logs_.r + trial.deviate[0]);
    x.K = elementary::Exp(logs_.K + trial.deviate[1]);
    x.q = elementary::Exp(logs_.q + trial.deviate[2]);
    x.p = pt_ ? elementary::Exp(logs_.p + trial.deviate[3]) : best_.p;
    if (!FiniteTrial(x)) {
      trial.status = TrialStatus::Overflow;
      return;
    }
    ClampToBounds(x, bounds_, pt_);
    if (options_.ReferenceEvaluator) {
      trial.status = TrialStatus::Fallback;
      return;
    }
    switch (evaluator_.Compare(x.r, x.K, x.q, x.p, limit_, trial.value)) {
      case ObjectiveEvaluator::Verdict::NotBetter:
        trial.status = TrialStatus::NotBetter;
        break;
      case ObjectiveEvaluator::Verdict::Value:
        trial.status = TrialStatus::Value;
        break;
      case ObjectiveEvaluator::Verdict::Fallback:
        trial.status = TrialStatus::Fallback;
        break;
    }
  }

  // Whether the trial improves on `best` (its value then in `value`), in
  // sequence order on the calling thread: a fault raises here, where the
  // sequential loop would raise.
  bool Judge(const Trial& trial, double best, double& value) const {
    switch (trial.status) {
      case TrialStatus::NotBetter:
        return false;
      case TrialStatus::Value:
        value = trial.value;
        return value < best;
      case TrialStatus::Overflow:
        ThrowOverflow();
      case TrialStatus::Fallback:
        break;
    }
    value = Evaluate(evaluator_, trial.point, true);
    return value < best;
  }

  // Evaluates trials [first, end) on all threads; the calling thread first
  // draws up to `drawAhead` for the next round. Returns when every trial of
  // the round is evaluated.
  void EvaluateRound(std::uint64_t first, std::uint64_t end, std::uint64_t drawAhead) {
    const std::function<void(std::size_t, std::size_t)> evaluate = [this, first](std::size_t a,
                                                                                 std::size_t b) {
      for (std::size_t i = a; i < b; ++i) EvaluateTrial(At(first + i));
    };
    pool_->Round(static_cast<std::size_t>(end - first), kChunk, evaluate,
                 [this, drawAhead] { DrawUpTo(drawAhead); });
  }

  const ObjectiveEvaluator& evaluator_;
  const ParameterBounds& bounds_;
  RandomSource& random_;
  const EngineOptions& options_;
  const bool pt_;
  const int deviatesPerTrial_;
  const int threads_;

  RandomSource drawer_;  // state after the last trial drawn
  std::unique_ptr<Trial[]> ring_;
  std::uint64_t pos_ = 0;    // first trial not yet judged
  std::uint64_t drawn_ = 0;  // first trial not yet drawn

  ParameterPoint best_;
  LogPoint logs_;
  ObjectiveEvaluator::RejectionLimit limit_;

  std::optional<WorkerPool> pool_;  // the threads of the rounds, from Run on
};

}  // namespace

SearchOutcome SearchVariant(const ObjectiveEvaluator& evaluator, ParameterPoint start,
                            const ParameterBounds& bounds, RandomSource& random,
                            const EngineOptions& options) {
  if (options.MaxFailures < 0)
    throw Error("Число неудачных попыток поиска не может быть отрицательным");
  if (options.Threads <= 1) {
    SequentialSearch search(evaluator, bounds, random, options);
    return search.Run(start);
  }
  ParallelSearch search(evaluator, bounds, random, options);
  return search.Run(start);
}

}  // namespace tarvik::estimation
