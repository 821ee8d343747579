#include "estimation/search_engine.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "common/error.h"
#include "model/checked.h"
#include "model/objective.h"

namespace tarvik::estimation {
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
  throw Error("Переполнение при вычислении пробной точки поиска (слишком большие значения параметров)");
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

// Raises to the minimum when below it, then lowers to the maximum when above.
inline double Clamp(double x, double lo, double hi) {
  if (x < lo) x = lo;
  if (x > hi) x = hi;
  return x;
}

inline void ClampTrial(ParameterPoint& x, const ParameterBounds& b, bool pt) {
  if (pt) x.p = Clamp(x.p, b.MinP, b.MaxP);
  x.r = Clamp(x.r, b.MinR, b.MaxR);
  x.K = Clamp(x.K, b.MinK, b.MaxK);
  x.q = Clamp(x.q, b.MinQ, b.MaxQ);
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
    ObjectiveEvaluator::RejectionLimit limit = evaluator_.LimitFor(out.Objective);
    int failures = 0;
    while (failures < options_.MaxFailures) {
      ++failures;
      ParameterPoint trial;
      trial.r = std::exp(random_.RandomGauss(logs.r, kStepSigma));
      trial.K = std::exp(random_.RandomGauss(logs.K, kStepSigma));
      trial.q = std::exp(random_.RandomGauss(logs.q, kStepSigma));
      trial.p = pt ? std::exp(random_.RandomGauss(logs.p, kStepSigma)) : out.Best.p;
      ++out.Trials;
      if (!FiniteTrial(trial)) ThrowOverflow();
      ClampTrial(trial, bounds_, pt);
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
        limit = evaluator_.LimitFor(out.Objective);
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
// it; the trials of a round are then evaluated in parallel around the current
// best point and judged in sequence order. The first improving trial is
// accepted; the trials after it are evaluated again around the new best
// point (their deviates stay the same). Trials drawn but not judged never
// reach the caller's random state.

enum class TrialStatus : std::uint8_t { NotBetter, Value, Fallback, Overflow };

struct Trial {
  double deviate[4];  // u1 of the polar pair until `ready`, then the deviate
  double s[4];        // s of the polar pair
  ParameterPoint point;
  double value;
  std::uint32_t seedAfter;
  bool ready;
  TrialStatus status;
};

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
        barrier_(threads_) {}

  ~ParallelSearch() { StopWorkers(); }

  SearchOutcome Run(ParameterPoint start) {
    SearchOutcome out;
    out.Best = start;
    out.Objective = Evaluate(evaluator_, start, options_.ReferenceEvaluator);
    out.Evaluations = 1;
    best_ = start;
    logs_ = LogsOf(best_, pt_);
    limit_ = evaluator_.LimitFor(out.Objective);
    StartWorkers();
    std::uint32_t judgedSeed = random_.Seed();
    try {
      int failures = 0;
      std::size_t batch = kFirstBatch;
      while (failures < options_.MaxFailures) {
        const std::size_t count =
            std::min<std::size_t>(batch, static_cast<std::size_t>(options_.MaxFailures - failures));
        DrawUpTo(pos_ + count);
        const bool parallel = count >= kParallelMinimum && !workers_.empty();
        if (parallel) EvaluateRound(pos_, count);
        bool improved = false;
        const std::size_t end = pos_ + count;
        std::size_t i = pos_;
        for (; i < end; ++i) {
          Trial& trial = trials_[i];
          if (!parallel) EvaluateTrial(trial);
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
            limit_ = evaluator_.LimitFor(out.Objective);
            failures = 0;
            improved = true;
          }
          if (failures % kCheckpointPeriod == 0 && options_.OnCheckpoint) {
            options_.OnCheckpoint(failures);
          }
          if (improved || failures >= options_.MaxFailures) break;
        }
        // Every trial is evaluated in the round that judges it, so values
        // left from before an improvement are never read.
        pos_ = std::min(i + 1, end);
        if (parallel) {
          ++out.ParallelRounds;
          out.Discarded += end - pos_;
        }
        if (improved) {
          batch = std::max(kFirstBatch, batch / 4);
        } else {
          batch = std::min(kMaxBatch, batch * 2);
        }
        Compact();
      }
    } catch (...) {
      random_.Restore(judgedSeed);
      throw;
    }
    random_.Restore(judgedSeed);
    return out;
  }

 private:
  // Runs the stream ahead until trials_ holds `count` trials.
  void DrawUpTo(std::size_t count) {
    while (trials_.size() < count) {
      Trial trial;
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
      trials_.push_back(trial);
    }
  }

  void Compact() {
    if (pos_ == trials_.size()) {
      trials_.clear();
      pos_ = 0;
    } else if (pos_ >= kMaxBatch) {
      trials_.erase(trials_.begin(), trials_.begin() + static_cast<std::ptrdiff_t>(pos_));
      pos_ = 0;
    }
  }

  // The trial point around the current best point, clamped, and its value.
  // Runs on any thread; touches only `trial`.
  void EvaluateTrial(Trial& trial) const noexcept {
    if (!trial.ready) {
      for (int k = 0; k < deviatesPerTrial_; ++k) {
        const double u1 = trial.deviate[k];
        const double s = trial.s[k];
        trial.deviate[k] = kStepSigma * u1 * std::sqrt(-2.0 * std::log(s) / s);
      }
      trial.ready = true;
    }
    ParameterPoint& x = trial.point;
    x.r = std::exp(logs_.r + trial.deviate[0]);
    x.K = std::exp(logs_.K + trial.deviate[1]);
    x.q = std::exp(logs_.q + trial.deviate[2]);
    x.p = pt_ ? std::exp(logs_.p + trial.deviate[3]) : best_.p;
    if (!FiniteTrial(x)) {
      trial.status = TrialStatus::Overflow;
      return;
    }
    ClampTrial(x, bounds_, pt_);
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

  // Evaluates trials [first, first + count) on all threads.
  void EvaluateRound(std::size_t first, std::size_t count) {
    roundFirst_ = first;
    roundCount_ = count;
    barrier_.arrive_and_wait();  // start
    EvaluateShare(0);
    barrier_.arrive_and_wait();  // done
  }

  void EvaluateShare(int thread) {
    const std::size_t begin = roundFirst_ + roundCount_ * static_cast<std::size_t>(thread) /
                                                static_cast<std::size_t>(threads_);
    const std::size_t end = roundFirst_ + roundCount_ * static_cast<std::size_t>(thread + 1) /
                                              static_cast<std::size_t>(threads_);
    for (std::size_t i = begin; i < end; ++i) EvaluateTrial(trials_[i]);
  }

  // Starts the other threads; if the system refuses one, the search runs on
  // the calling thread alone.
  void StartWorkers() {
    try {
      for (int t = 1; t < threads_; ++t) {
        workers_.emplace_back([this, t] {
          for (;;) {
            barrier_.arrive_and_wait();
            if (stop_.load(std::memory_order_relaxed)) return;
            EvaluateShare(t);
            barrier_.arrive_and_wait();
          }
        });
      }
    } catch (const std::system_error&) {
      StopWorkers();
    }
  }

  // Releases the threads waiting for a round (arriving also for any thread
  // that could not be started) and joins them.
  void StopWorkers() noexcept {
    if (workers_.empty()) return;
    stop_.store(true, std::memory_order_relaxed);
    const auto missing = static_cast<std::ptrdiff_t>(threads_ - 1) -
                         static_cast<std::ptrdiff_t>(workers_.size());
    barrier_.wait(barrier_.arrive(1 + missing));
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  const ObjectiveEvaluator& evaluator_;
  const ParameterBounds& bounds_;
  RandomSource& random_;
  const EngineOptions& options_;
  const bool pt_;
  const int deviatesPerTrial_;
  const int threads_;

  RandomSource drawer_;  // state after the last trial drawn
  std::vector<Trial> trials_;
  std::size_t pos_ = 0;  // first trial not yet judged

  ParameterPoint best_;
  LogPoint logs_;
  ObjectiveEvaluator::RejectionLimit limit_;

  std::size_t roundFirst_ = 0;
  std::size_t roundCount_ = 0;
  std::barrier<> barrier_;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> workers_;
};

}  // namespace

SearchOutcome SearchVariant(const ObjectiveEvaluator& evaluator, ParameterPoint start,
                            const ParameterBounds& bounds, RandomSource& random,
                            const EngineOptions& options) {
  if (options.MaxFailures < 0) throw Error("Число неудачных попыток поиска не может быть отрицательным");
  if (options.Threads <= 1) {
    SequentialSearch search(evaluator, bounds, random, options);
    return search.Run(start);
  }
  ParallelSearch search(evaluator, bounds, random, options);
  return search.Run(start);
}

int HardwareThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace tarvik::estimation
