#include "diagnostics/checklist.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"
#include "diagnostics/estimator_checks.h"
#include "estimation/retro_analysis.h"
#include "estimation/variants.h"
#include "model/objective.h"

namespace tarvik::diagnostics {
namespace {

std::string Fixed(double x, int decimals, char mark) {
  return std::isfinite(x) ? FormatFixed(x, decimals, mark) : "—";
}

// A p-value: three decimals, or "< 0,001".
std::string PValue(double p, char mark) {
  if (p < 0.001) return "p < " + FormatFixed(0.001, 3, mark);
  return "p = " + Fixed(p, 3, mark);
}

CheckItem Item(std::string name, CheckStatus status, std::string value, std::string text) {
  return {std::move(name), status, std::move(value), std::move(text)};
}

CheckItem MinimumItem(const ChecklistInput& in) {
  const char* name = "Минимум целевой функции";
  const char mark = in.DecimalMark;
  if (!in.Minimum) {
    return Item(name, CheckStatus::NotAssessable, "—",
                in.MinimumMessage.empty() ? "минимум в границах поиска не определялся"
                                          : "минимум не найден: " + in.MinimumMessage);
  }
  const MinimumFacts& m = *in.Minimum;
  if (!in.MinimumFailure.empty()) {
    return Item(name, CheckStatus::Fail, "—", in.MinimumFailure);
  }
  if (m.Degenerate) {
    return Item(name, CheckStatus::NotAssessable, "L = " + Fixed(m.Minimum, 3, mark),
                "минимум равен нулю: модель проходит через все учитываемые остатки, "
                "сходимость не оценивается");
  }
  const double gap = m.Minimum > 0.0 ? (m.FitObjective - m.Minimum) / m.Minimum : 0.0;
  const std::string value = "выше минимума на " + Fixed(100.0 * std::max(gap, 0.0), 2, mark) + " %";
  if (m.NotConverged) {
    return Item(name, CheckStatus::Fail, value,
                "поиск остановился выше минимума в тех же границах: оценки не те, что дают данные");
  }
  return Item(name, CheckStatus::Ok, value,
              std::string("поиск нашёл минимум в границах поиска") +
                  (m.Exact ? " (перебором всех вершин)" : ""));
}

// The parameters whose bound fails the fit: r, K, q and, beyond the
// procedure, p.
bool BoundFails(const ChecklistInput& in, const std::string& parameter) {
  return parameter == "r" || parameter == "K" || parameter == "q" ||
         (in.ExponentBoundFails && parameter == "p");
}

// «r, K, q на границах», «K на границе»: the failing parameters on bounds.
std::string FailingBoundsText(const ChecklistInput& in) {
  std::string names;
  int count = 0;
  for (const BoundHit& hit : in.AtBounds) {
    if (!BoundFails(in, hit.Parameter) || names.find(hit.Parameter) != std::string::npos) continue;
    names += (names.empty() ? "" : ", ") + hit.Parameter;
    ++count;
  }
  if (count == 0) return {};
  return names + (count == 1 ? " на границе" : " на границах");
}

CheckItem BoundsItem(const ChecklistInput& in) {
  const char* name = "Параметры на границах";
  if (in.AtBounds.empty()) return Item(name, CheckStatus::Ok, "нет", "все оценки внутри границ");
  std::string value, text;
  for (const BoundHit& hit : in.AtBounds) {
    value += (value.empty() ? "" : ", ") + hit.Parameter + (hit.Upper ? " (верхняя)" : " (нижняя)");
    text += (text.empty() ? "" : "; ") + hit.Text;
  }
  return Item(name, FailingBoundsText(in).empty() ? CheckStatus::Warning : CheckStatus::Fail,
              value, text);
}

CheckItem LengthItem(const ChecklistInput& in) {
  const char* name = "Длина ряда";
  const std::string value = CountWithNoun(in.Years, "год", "года", "лет") + ", остатков " +
                            std::to_string(in.Residuals.size());
  if (in.Residuals.size() <= static_cast<std::size_t>(std::max(in.Parameters, 0))) {
    return Item(name, CheckStatus::Fail, value,
                "остатков не больше, чем оцениваемых параметров (" + std::to_string(in.Parameters) +
                    "): модель проходит через любые данные");
  }
  if (in.Years < kShortSeriesYears) {
    return Item(name, CheckStatus::Warning, value,
                "меньше 10 лет: оценки ненадёжны, тесты остатков слабы");
  }
  return Item(name, CheckStatus::Ok, value, "ряд не короче 10 лет");
}

CheckItem TestItem(const char* name, bool assessable, const std::string& reason, double p,
                   std::string value, const char* good, const char* bad) {
  if (!assessable) return Item(name, CheckStatus::NotAssessable, "—", reason);
  return p < kResidualTestLevel ? Item(name, CheckStatus::Warning, std::move(value), bad)
                                : Item(name, CheckStatus::Ok, std::move(value), good);
}

CheckItem HindcastItem(const ChecklistInput& in) {
  const char* name = "Прогноз на год вперёд";
  if (!in.HindcastSkill) return Item(name, CheckStatus::NotAssessable, "—", "не выполнялся");
  const Hindcast& h = *in.HindcastSkill;
  if (!h.Assessable) return Item(name, CheckStatus::NotAssessable, "—", h.Reason);
  const std::string value = "MASE = " + Fixed(h.Mase, 2, in.DecimalMark) +
                            ", лет прогноза: " + std::to_string(h.Peels.size());
  return h.Mase >= 1.0 ? Item(name, CheckStatus::Warning, value,
                              "прогноз модели не точнее наивного «как в прошлом году»")
                       : Item(name, CheckStatus::Ok, value,
                              "прогноз модели точнее наивного «как в прошлом году»");
}

CheckItem JitterItem(const ChecklistInput& in) {
  const char* name = "Устойчивость к начальной точке";
  if (!in.JitterRuns) return Item(name, CheckStatus::NotAssessable, "—", "не выполнялась");
  const Jitter& j = *in.JitterRuns;
  if (!j.Assessable) return Item(name, CheckStatus::NotAssessable, "—", j.Reason);
  const std::string value = std::to_string(j.Agreeing) + " из " + std::to_string(j.Runs.size()) +
                            " запусков приходят к тому же минимуму";
  if (j.BelowTheFit) {
    return Item(name, CheckStatus::Fail, value,
                "из других начальных точек найден более низкий минимум: оценка не лучшая");
  }
  if (j.Agreeing < kJitterAgreement * static_cast<double>(j.Runs.size())) {
    return Item(name, CheckStatus::Warning, value,
                "целевая функция многоэкстремальна: результат зависит от начальной точки");
  }
  return Item(name, CheckStatus::Ok, value, "из разных начальных точек получается тот же минимум");
}

CheckItem MohnItem(const ChecklistInput& in) {
  const char* name = "Ретроспективный анализ";
  if (!in.MohnRho) {
    return Item(name, CheckStatus::NotAssessable, "—", "ретроспективный анализ не выполнялся");
  }
  const double rho = *in.MohnRho;
  const std::string value = "ρ Мона = " + Fixed(rho, 3, in.DecimalMark);
  const estimation::MohnRange range = estimation::kMohnLongLived;
  if (std::isfinite(rho) && range.Contains(rho)) {
    return Item(name, CheckStatus::Ok, value, "оценки устойчивы к сокращению ряда");
  }
  return Item(name, CheckStatus::Warning, value,
              "ρ вне " + Fixed(range.Low, 2, in.DecimalMark) + " … " +
                  Fixed(range.High, 2, in.DecimalMark) +
                  ": оценки систематически меняются с добавлением лет");
}

CheckItem IntervalItem(const ChecklistInput& in) {
  const char* name = "Ширина интервала MSY";
  if (!in.MsyIntervalRatio) {
    return Item(name, CheckStatus::NotAssessable, "—",
                "интервалы неопределённости не рассчитывались");
  }
  const double ratio = *in.MsyIntervalRatio;
  if (!std::isfinite(ratio) || !(ratio > 0.0)) {
    return Item(name, CheckStatus::Fail, "—",
                "нижняя граница интервала MSY не положительна: MSY не определён данными");
  }
  const std::string value = "верхняя / нижняя = " + Fixed(ratio, 1, in.DecimalMark);
  if (!in.IntervalTruncation.empty()) {
    return Item(name, CheckStatus::Fail, value,
                in.IntervalTruncation + ": интервалы задают границы, а не данные");
  }
  return ratio > kMaxMsyIntervalRatio
             ? Item(name, CheckStatus::Fail, value,
                    "интервал шире порядка величины: MSY данными почти не определён")
             : Item(name, CheckStatus::Ok, value, "интервал уже порядка величины");
}

}  // namespace

const char* StatusKey(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok:
      return "ok";
    case CheckStatus::Warning:
      return "warn";
    case CheckStatus::Fail:
      return "fail";
    case CheckStatus::NotAssessable:
      break;
  }
  return "not_assessable";
}

ResidualTests TestResiduals(const std::vector<double>& residuals) {
  return {RunsTestOfSigns(residuals), ShapiroWilkTest(residuals), LjungBoxTest(residuals)};
}

Checklist BuildChecklist(const ChecklistInput& in) {
  Checklist c;
  const char mark = in.DecimalMark;
  c.Tests = TestResiduals(in.Residuals);
  const RunsTest& runs = c.Tests.Runs;
  const ShapiroWilk& sw = c.Tests.Normality;
  const LjungBox& lb = c.Tests.Autocorrelation;
  // A test's own reason, or that there are no residuals at all.
  const auto reason = [&in](const std::string& own) {
    return in.ResidualsMessage.empty() ? own : "остатки не вычисляются: " + in.ResidualsMessage;
  };
  c.Items.push_back(MinimumItem(in));
  c.Items.push_back(BoundsItem(in));
  c.Items.push_back(LengthItem(in));
  c.Items.push_back(
      TestItem("Серии знаков остатков", runs.Assessable, reason(runs.Reason), runs.P,
               "серий " + std::to_string(runs.Runs) + ", z = " + Fixed(runs.Z, 2, mark) + ", " +
                   PValue(runs.P, mark),
               "знаки остатков чередуются случайно: систематического смещения нет",
               "остатки идут сериями одного знака: модель систематически смещена в части лет"));
  c.Items.push_back(TestItem("Нормальность остатков", sw.Assessable, reason(sw.Reason), sw.P,
                             "W = " + Fixed(sw.W, 3, mark) + ", " + PValue(sw.P, mark),
                             "нет оснований отвергнуть нормальность остатков (Шапиро — Уилк)",
                             "распределение остатков отличается от нормального (Шапиро — Уилк)"));
  c.Items.push_back(TestItem(
      "Автокорреляция остатков", lb.Assessable, reason(lb.Reason), lb.P,
      "Q = " + Fixed(lb.Q, 2, mark) + ", лаг " + std::to_string(lb.Lag) + ", " + PValue(lb.P, mark),
      "автокорреляции остатков не обнаружено (Льюнг — Бокс)",
      "остатки соседних лет связаны: модель не описывает часть динамики"));
  c.Items.push_back(HindcastItem(in));
  c.Items.push_back(JitterItem(in));
  c.Items.push_back(MohnItem(in));
  c.Items.push_back(IntervalItem(in));

  std::string failing, warning;
  const auto append = [](std::string& list, const std::string& name) {
    list += (list.empty() ? "" : ", ") + name;
  };
  const std::string failingBounds = FailingBoundsText(in);
  for (const CheckItem& item : c.Items) {
    // The bounds item names the parameters held by the bounds.
    const bool bounds = item.Name == "Параметры на границах" && !failingBounds.empty();
    if (item.Status == CheckStatus::Fail) append(failing, bounds ? failingBounds : item.Name);
    if (item.Status == CheckStatus::Warning) append(warning, item.Name);
  }
  if (!failing.empty()) {
    c.Result = Verdict::Unfit;
    c.VerdictText = "Модель непригодна: " + failing;
  } else if (!warning.empty()) {
    c.Result = Verdict::Warnings;
    c.VerdictText = "Есть предупреждения: " + warning;
  } else {
    c.Result = Verdict::Fit;
    c.VerdictText = "Модель пригодна";
  }
  return c;
}

VariantDiagnosis DiagnoseVariant(const data::CatchEffortSeries& series,
                                 const std::vector<model::ModelFit>& fits, std::size_t index,
                                 const estimation::ParameterBounds& bounds, std::uint8_t keepCount,
                                 const DiagnosisOptions& options) {
  if (index >= fits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(index));
  }
  const model::ModelFit& fit = fits[index];
  const bool pt = fit.Kind == model::ProductionModelKind::PellaTomlinson;
  const char mark = options.DecimalMark;
  VariantDiagnosis d;
  d.Index = index;
  d.Label = estimation::VariantLabel(fits, index);
  d.Refinement = estimation::RefineVariant(series, fits, index, bounds, keepCount, mark);
  try {
    d.Residuals =
        model::CpueResiduals(series.U, series.C, fit.Kind, fit.R, fit.K, fit.Q, fit.Exponent);
    for (std::size_t k = 0; k < d.Residuals.size(); ++k) {
      d.ResidualYears.push_back(series.FirstYear + static_cast<int>(k) + 2);
    }
  } catch (const Error& e) {
    d.Residuals.clear();
    d.ResidualsMessage = e.what();
  }
  d.AtBounds = ParametersAtBounds({fit.R, fit.K, fit.Q, fit.Exponent}, bounds, pt, mark);
  try {
    d.Proposed = ProposeBounds(series);
  } catch (const Error&) {
    d.Proposed.reset();
  }
  d.HindcastSkill = RunHindcast(series, fit, bounds, keepCount, options.HindcastPeels);
  d.JitterRuns = RunJitter(series, fit, bounds, keepCount, options.JitterSettings);

  ChecklistInput in;
  in.Years = series.size();
  in.Parameters = ParameterCount(fit.Kind);
  in.ResidualYears = d.ResidualYears;
  in.Residuals = d.Residuals;
  in.ResidualsMessage = d.ResidualsMessage;
  const estimation::VariantRefinement& v = d.Refinement;
  if (v.Available) {
    in.Minimum =
        MinimumFacts{v.SearchObjective, v.Objective, v.NotConverged, v.Degenerate, v.Enumerated};
  } else {
    in.MinimumMessage = v.Message;
  }
  in.AtBounds = d.AtBounds;
  in.HindcastSkill = d.HindcastSkill;
  in.JitterRuns = d.JitterRuns;
  in.MohnRho = options.MohnRho;
  in.MsyIntervalRatio = options.MsyIntervalRatio;
  in.IntervalTruncation = options.IntervalTruncation;
  in.DecimalMark = mark;
  d.MsyIntervalRatio = options.MsyIntervalRatio;
  d.Items = BuildChecklist(in);
  return d;
}

VariantDiagnosis DiagnoseObservationError(const data::CatchEffortSeries& series,
                                          const estimation::ObservationErrorFit& fit,
                                          const estimation::ObservationErrorOptions& fitOptions,
                                          std::string label, const DiagnosisOptions& options) {
  VariantDiagnosis d;
  d.Label = std::move(label);
  d.Residuals = fit.LogResiduals;
  d.ResidualsName = "Логарифмический остаток улова на усилие";
  for (std::size_t k = 0; k < d.Residuals.size(); ++k) {
    d.ResidualYears.push_back(series.FirstYear + static_cast<int>(k));
  }
  if (d.Residuals.empty()) d.ResidualsMessage = "подгонка модели ошибки наблюдения недопустима";
  for (const std::string& name : fit.AtBounds) {
    BoundHit hit;
    hit.Parameter = name;
    hit.Text = name + " на границе поиска: оценка определяется границей, а не данными";
    d.AtBounds.push_back(std::move(hit));
  }
  d.HindcastSkill = RunObservationErrorHindcast(series, fit, fitOptions, options.HindcastPeels);
  d.JitterRuns = RunObservationErrorJitter(series, fit, fitOptions, options.JitterSettings);

  ChecklistInput in;
  in.Years = series.size();
  // r, K, q and the estimated p and φ; σ is not a parameter of the residuals.
  in.Parameters = std::max(fit.ParameterCount - 1, 3);
  in.ResidualYears = d.ResidualYears;
  in.Residuals = d.Residuals;
  in.ResidualsMessage = d.ResidualsMessage;
  in.AtBounds = d.AtBounds;
  in.ExponentBoundFails = true;
  if (d.JitterRuns.Assessable) {
    // No vertex enumeration for this estimator: the lowest of the jitter's
    // refits stands for the minimum within the bounds.
    const double lowest = d.JitterRuns.Lowest;
    in.Minimum = MinimumFacts{fit.RSS, lowest, d.JitterRuns.BelowTheFit, !(lowest > 0.0), false};
  } else {
    in.MinimumMessage = d.JitterRuns.Reason;
  }
  in.HindcastSkill = d.HindcastSkill;
  in.JitterRuns = d.JitterRuns;
  in.MohnRho = options.MohnRho;
  in.MsyIntervalRatio = options.MsyIntervalRatio;
  in.IntervalTruncation = options.IntervalTruncation;
  in.DecimalMark = options.DecimalMark;
  d.MsyIntervalRatio = options.MsyIntervalRatio;
  d.Items = BuildChecklist(in);
  return d;
}

VariantDiagnosis DiagnoseStateSpace(const data::CatchEffortSeries& series,
                                    const estimation::StateSpaceFit& fit,
                                    const estimation::StateSpaceOptions& fitOptions,
                                    std::string label, const DiagnosisOptions& options) {
  const char mark = options.DecimalMark;
  VariantDiagnosis d;
  d.Label = std::move(label);
  d.Residuals = fit.OsaResiduals;
  d.ResidualsName = "Остаток прогноза на шаг вперёд";
  for (std::size_t k = 0; k < d.Residuals.size(); ++k) {
    d.ResidualYears.push_back(series.FirstYear + static_cast<int>(k));
  }
  if (d.Residuals.empty()) d.ResidualsMessage = "остатки прогноза на шаг вперёд не вычислены";
  const auto mark_bound = [&](const char* name, const estimation::StateSpaceEstimate& e,
                              double lo, double hi) {
    const estimation::BoundSide side = estimation::SideOnBound(e.Value, lo, hi);
    if (side == estimation::BoundSide::None) return;
    BoundHit hit;
    hit.Parameter = name;
    hit.Upper = side == estimation::BoundSide::Upper;
    hit.Value = e.Value;
    hit.Bound = hit.Upper ? hi : lo;
    hit.Text = hit.Parameter + " = " + FormatGeneral(RoundDecimals(e.Value, 3), mark) + " на " +
               (hit.Upper ? "верхней" : "нижней") + " границе " + FormatGeneral(hit.Bound, mark) +
               ": оценка определяется границей, а не данными";
    d.AtBounds.push_back(std::move(hit));
  };
  if (fit.Kind == model::ProductionModelKind::PellaTomlinson) {
    mark_bound("p", fit.P, estimation::kStateSpaceMinP, estimation::kStateSpaceMaxP);
  }
  if (fit.EstimateB1) {
    mark_bound("φ", fit.Phi, estimation::kStateSpaceMinB1OverK, estimation::kStateSpaceMaxB1OverK);
  }
  d.HindcastSkill = RunStateSpaceHindcast(series, fit, fitOptions, options.HindcastPeels);
  d.JitterRuns = StateSpaceJitter(fit);

  ChecklistInput in;
  in.Years = series.size();
  in.Parameters = fit.ParameterCount;
  in.ResidualYears = d.ResidualYears;
  in.Residuals = d.Residuals;
  in.ResidualsMessage = d.ResidualsMessage;
  in.Minimum = MinimumFacts{fit.Objective, d.JitterRuns.Assessable ? d.JitterRuns.Lowest : fit.Objective,
                            d.JitterRuns.BelowTheFit, false, false};
  if (!fit.Converged) {
    in.MinimumFailure = "оптимизатор не сошёлся (наибольшая производная " +
                        FormatGeneral(RoundDecimals(fit.MaxGradient, 6), mark) +
                        "): оценки не в минимуме";
  } else if (!fit.HessianPositiveDefinite) {
    in.MinimumFailure =
        "матрица Гессе в оценке не положительно определена: это не минимум, интервалов нет";
  }
  in.AtBounds = d.AtBounds;
  in.ExponentBoundFails = true;
  in.HindcastSkill = d.HindcastSkill;
  in.JitterRuns = d.JitterRuns;
  in.MohnRho = options.MohnRho;
  in.MsyIntervalRatio = options.MsyIntervalRatio;
  in.IntervalTruncation = options.IntervalTruncation;
  in.DecimalMark = mark;
  d.MsyIntervalRatio = options.MsyIntervalRatio;
  d.Items = BuildChecklist(in);
  return d;
}

}  // namespace tarvik::diagnostics
