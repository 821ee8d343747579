// The options of the commands that start by estimating the parameters.
#include "cli/estimate_command.h"

#include <sstream>
#include <vector>

#include "assessment/observation_error.h"
#include "assessment/observation_error_view.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "cli/state_space_output.h"
#include "cli/text_output.h"
#include "common/error.h"
#include "common/numbers.h"
#include "common/threads.h"
#include "estimation/variants.h"
#include "model/kinds.h"

namespace tarvik::cli {
namespace {

using estimation::FreshStart;
using model::ModelFit;

template <std::size_t Count>
std::array<std::string, Count> Texts(const std::string& text, const char* option,
                                     const char* expected) {
  std::array<std::string, Count> texts;
  if (text.empty()) return texts;
  const std::vector<std::string> fields = SplitAt(text, ',');
  if (fields.size() != Count) {
    throw Error(std::string("Параметр ") + option + ": нужно " + std::to_string(Count) +
                " значений через запятую (" + expected + "), задано «" + MessageExcerpt(text) +
                "»");
  }
  for (std::size_t i = 0; i < Count; ++i) texts[i] = fields[i];
  return texts;
}

}  // namespace

void AddEstimateOptions(CLI::App& sub, EstimateOptions& o) {
  sub.add_option("FILE", o.File, "Файл данных (десятичный разделитель — точка)")->required();
  sub.add_option("--trim", o.Trim, "Доля отсекаемых остатков S (0…9, десятки процентов)")
      ->default_val(0);
  sub.add_option("--cutoffs", o.CutOffs, "Значения медианного окна, например 2-5,7,9")
      ->default_val("4");
  sub.add_option("--variants", o.Variants,
                 "Номера отмеченных вариантов через запятую (по умолчанию все)");
  sub.add_option("--start", o.Start,
                 "Начальные значения r,K,q (пустое поле оставляет значение страницы)");
  sub.add_option("--bounds", o.Bounds, "Границы rmin,rmax,Kmin,Kmax,qmin,qmax");
  sub.add_option("--holdout", o.HoldOut, "Выбор модели по N отсечённым последним годам");
  sub.add_option("--threads", o.Threads, "Число потоков поиска (0 — все ядра, не более 64)")
      ->default_val(0);
  sub.add_flag("--json", o.Json, "Вывести результат в формате JSON");
}

void AddB1kOption(CLI::App& sub, EstimateOptions& o) {
  sub.add_option("--b1k", o.B1k,
                 "Модели ошибки наблюдения и пространства состояний: fixed — B₁ = K, free — B₁/K "
                 "оценивается")
      ->default_val("fixed");
  sub.add_option("--ss-level", o.StateSpaceLevel,
                 "Модель пространства состояний: уровень интервалов, 90 или 95 %")
      ->default_val(90);
  sub.add_option("--sigma-p-prior", o.SigmaPPrior,
                 "Модель пространства состояний: априорное распределение ln σ_p ~ N(ln M, S²), "
                 "задаётся как M,S, например 0.1,1 (по умолчанию нет)");
}

Estimator EstimatorOf(const EstimateOptions& o) {
  const std::optional<int> chosen = Choice(
      o.Estimator, {"procedure", "refined", "observation-error", "state-space"}, "--estimator");
  const Estimator estimator = chosen ? static_cast<Estimator>(*chosen) : Estimator::Procedure;
  if (o.Refine &&
      (estimator == Estimator::ObservationError || estimator == Estimator::StateSpace)) {
    throw Error("Параметры --refine и --estimator " + o.Estimator + " несовместимы: выберите один");
  }
  return o.Refine ? Estimator::Refined : estimator;
}

estimation::ObservationErrorOptions MakeObservationErrorOptions(
    const EstimateOptions& o, const estimation::ParameterBounds& bounds) {
  const std::optional<int> b1k = Choice(o.B1k, {"fixed", "free"}, "--b1k");
  return {b1k == 1, bounds};
}

estimation::FreshStartRequest MakeFreshStartRequest(const EstimateOptions& o) {
  if (o.Threads < 0 || o.Threads > kMaxThreads) {
    throw Error("Параметр --threads: число потоков от 0 (все ядра) до " +
                std::to_string(kMaxThreads) + ", задано " + std::to_string(o.Threads));
  }
  estimation::FreshStartRequest request;
  request.DataFile = o.File;
  request.DecimalMark = kDecimalMark;
  request.CutOffList = o.CutOffs;
  request.TrimPosition = o.Trim;
  request.HoldOutYears = o.HoldOut;
  if (o.HoldOut < 0) throw Error("Параметр --holdout: число лет не может быть отрицательным");
  try {
    estimation::CheckTrimPosition(o.Trim);
  } catch (const Error& error) {
    throw Error(std::string("Параметр --trim: ") + error.what());
  }
  if (!o.Variants.empty()) {
    std::vector<std::size_t> indices;
    for (const std::string& field : SplitAt(o.Variants, ',')) {
      const auto value = TryParseInteger(field);
      if (!value || *value < 0 || *value > 254) {
        throw Error("Параметр --variants: «" + MessageExcerpt(field) +
                    "» не является номером варианта");
      }
      indices.push_back(static_cast<std::size_t>(*value));
    }
    request.TickedVariants = std::move(indices);
  }
  request.StartTexts = Texts<3>(o.Start, "--start", "r,K,q");
  request.BoundTexts = Texts<6>(o.Bounds, "--bounds", "rmin,rmax,Kmin,Kmax,qmin,qmax");
  return request;
}

estimation::SearchOptions MakeSearchOptions(const EstimateOptions& o) {
  estimation::SearchOptions search;
  search.Threads = o.Threads;
  return search;
}

CLI::App* AddVariantCommand(CLI::App& app, const char* name, const char* description,
                            EstimateOptions& options, std::string& variant, const char* help) {
  CLI::App* sub = app.add_subcommand(name, description);
  AddEstimateOptions(*sub, options);
  sub->add_option("--variant", variant, help)->required();
  return sub;
}

void AddEstimatorOption(CLI::App& sub, EstimateOptions& options) {
  sub.add_option("--estimator", options.Estimator,
                 "Значения выбранного варианта: procedure — найденные поиском, refined — "
                 "уточнённые, observation-error — оценки модели ошибки наблюдения, "
                 "state-space — оценки модели пространства состояний")
      ->default_val("procedure");
  sub.add_flag("--refine", options.Refine, "То же, что --estimator refined");
  AddB1kOption(sub, options);
}

}  // namespace tarvik::cli
