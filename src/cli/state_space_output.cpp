#include "cli/state_space_output.h"

#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "cli/common_options.h"
#include "cli/estimate_command.h"
#include "cli/text_output.h"
#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "assessment/observation_error_view.h"
#include "assessment/state_space.h"
#include "estimation/variants.h"
#include "model/kinds.h"

namespace tarvik::cli {
namespace {

using estimation::StateSpaceEstimate;
using estimation::StateSpaceFit;

Json EstimateJson(const StateSpaceEstimate& e) {
  Json j;
  j["estimate"] = e.Value;
  j["se_log"] = e.HasSe ? Json(e.SeLog) : Json(nullptr);
  j["interval"] = e.HasSe ? Json::array({e.Lower, e.Upper}) : Json(nullptr);
  return j;
}

Json PValue(bool assessable, double p) { return assessable ? Json(p) : Json(nullptr); }


// "value (low … high)" with 4 significant digits, the value alone without
// an interval.
std::string WithInterval(const StateSpaceEstimate& e) {
  std::ostringstream s;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%.4g", e.Value);
  s << buffer;
  if (e.HasSe) {
    std::snprintf(buffer, sizeof buffer, " (%.4g…%.4g)", e.Lower, e.Upper);
    s << buffer;
  }
  return s.str();
}

const char* ShortName(model::ProductionModelKind kind) {
  switch (kind) {
    case model::ProductionModelKind::Schaefer:
      return "Шефер";
    case model::ProductionModelKind::Fox:
      return "Фокс";
    case model::ProductionModelKind::PellaTomlinson:
      return "Пелла-Томлинсон";
  }
  return "";
}

}  // namespace

estimation::StateSpaceOptions MakeStateSpaceOptions(const EstimateOptions& o,
                                                    const estimation::ParameterBounds& bounds) {
  const std::optional<int> b1k = Choice(o.B1k, {"fixed", "free"}, "--b1k");
  estimation::StateSpaceOptions options;
  options.EstimateB1 = b1k == 1;
  options.StartBounds = bounds;
  if (o.StateSpaceLevel != 90 && o.StateSpaceLevel != 95) {
    throw Error("--ss-level: уровень интервалов должен быть 90 или 95, задано " +
                std::to_string(o.StateSpaceLevel));
  }
  options.Level = o.StateSpaceLevel == 95 ? 0.95 : 0.90;
  if (!o.SigmaPPrior.empty()) {
    const std::size_t comma = o.SigmaPPrior.find(',');
    const std::optional<double> median =
        TryParseDouble(std::string_view(o.SigmaPPrior).substr(0, comma));
    const std::optional<double> spread =
        comma == std::string::npos
            ? std::nullopt
            : TryParseDouble(std::string_view(o.SigmaPPrior).substr(comma + 1));
    if (!median || !spread || !(*median > 0.0) || !(*spread > 0.0)) {
      throw Error("--sigma-p-prior: ожидается M,S — медиана σ_p и разброс ln σ_p, оба "
                  "положительные, например 0.1,1; задано «" +
                  o.SigmaPPrior + "»");
    }
    options.SigmaPPrior = true;
    options.SigmaPLogMean = elementary::Log(*median);
    options.SigmaPLogSd = *spread;
  }
  estimation::CheckStateSpaceOptions(options);
  return options;
}

Json StateSpaceFitJson(const StateSpaceFit& f) {
  const bool pt = f.Kind == model::ProductionModelKind::PellaTomlinson;
  Json j;
  j["r"] = EstimateJson(f.R);
  j["K"] = EstimateJson(f.K);
  j["q"] = EstimateJson(f.Q);
  j["p"] = pt ? EstimateJson(f.P) : Json(nullptr);
  j["b1k"] = EstimateJson(f.Phi);
  j["sigma_p"] = EstimateJson(f.SigmaP);
  j["sigma_o"] = EstimateJson(f.SigmaO);
  j["sigma_p_prior"] = f.SigmaPPrior ? Json{{"median", elementary::Exp(f.SigmaPLogMean)},
                                            {"sd_log", f.SigmaPLogSd}}
                                     : Json(nullptr);
  j["msy"] = EstimateJson(f.MSY);
  j["bmsy"] = EstimateJson(f.BMSY);
  j["fmsy"] = EstimateJson(f.FMSY);
  j["b_next"] = EstimateJson(f.BNext);
  j["b_next_bmsy"] = EstimateJson(f.BNextOverBMSY);
  j["f_last_fmsy"] = EstimateJson(f.FLastOverFMSY);
  j["nll"] = f.Objective;
  j["n"] = f.N;
  j["level"] = f.Level;
  j["converged"] = f.Converged;
  j["max_gradient"] = f.MaxGradient;
  j["hessian_pd"] = f.HessianPositiveDefinite;
  j["osa_residuals"] = f.OsaResiduals;
  j["osa_tests"] = {{"runs_p", PValue(f.Runs.Assessable, f.Runs.P)},
                    {"shapiro_wilk_p", PValue(f.Normality.Assessable, f.Normality.P)},
                    {"ljung_box_p", PValue(f.Autocorrelation.Assessable, f.Autocorrelation.P)}};
  return j;
}

Json StateSpaceJson(const std::array<StateSpaceFit, 3>& fits) {
  static const char* const kKeys[] = {"schaefer", "fox", "pella_tomlinson"};
  Json j = Json::object();
  for (const StateSpaceFit& f : fits) j[kKeys[static_cast<std::size_t>(f.Kind)]] = StateSpaceFitJson(f);
  return j;
}

std::string StateSpaceText(const std::array<StateSpaceFit, 3>& fits) {
  const int percent = fits[0].Level > 0.925 ? 95 : 90;
  std::ostringstream out;
  out << "Модель пространства состояний ("
      << (fits[0].EstimateB1 ? "B₁/K оценивается" : "B₁ = K");
  if (fits[0].SigmaPPrior) {
    out << "; априорное ln σ_p ~ N(ln "
        << FormatGeneral(elementary::Exp(fits[0].SigmaPLogMean), kDecimalMark)
        << "; " << FormatGeneral(fits[0].SigmaPLogSd, kDecimalMark) << "²)";
  }
  out << "), в скобках " << percent << " % интервалы:\n";
  std::vector<std::string> header = {"", ""};
  for (const StateSpaceFit& f : fits) header.push_back(ShortName(f.Kind));
  std::vector<std::vector<std::string>> rows;
  auto add = [&](const char* name, auto cell) {
    std::vector<std::string> row = {name, ""};
    for (const StateSpaceFit& f : fits) row.push_back(cell(f));
    rows.push_back(std::move(row));
  };
  auto estimate = [&](const char* name, StateSpaceEstimate StateSpaceFit::*member) {
    add(name, [&](const StateSpaceFit& f) { return WithInterval(f.*member); });
  };
  estimate("r", &StateSpaceFit::R);
  estimate("K", &StateSpaceFit::K);
  estimate("q", &StateSpaceFit::Q);
  add("p", [](const StateSpaceFit& f) {
    return f.Kind == model::ProductionModelKind::PellaTomlinson ? WithInterval(f.P)
                                                                : std::string("—");
  });
  add("B₁/K", [](const StateSpaceFit& f) {
    return f.EstimateB1 ? WithInterval(f.Phi) : std::string("1");
  });
  estimate("σ_p", &StateSpaceFit::SigmaP);
  estimate("σ_o", &StateSpaceFit::SigmaO);
  estimate("MSY", &StateSpaceFit::MSY);
  estimate("BMSY", &StateSpaceFit::BMSY);
  estimate("FMSY", &StateSpaceFit::FMSY);
  estimate("B следующего года", &StateSpaceFit::BNext);
  estimate("B/BMSY следующего года", &StateSpaceFit::BNextOverBMSY);
  estimate("F/FMSY последнего года", &StateSpaceFit::FLastOverFMSY);
  add("−ln L (Лаплас)", [](const StateSpaceFit& f) { return FormatFixed(f.Objective, 4, kDecimalMark); });
  add("Сходимость", [](const StateSpaceFit& f) { return std::string(f.Converged ? "да" : "нет"); });
  add("Наибольший градиент", [](const StateSpaceFit& f) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1e", f.MaxGradient);
    return std::string(buffer);
  });
  add("Гессиан положительно определён", [](const StateSpaceFit& f) {
    return std::string(f.HessianPositiveDefinite ? "да" : "нет");
  });
  auto pValue = [](bool assessable, double p) {
    return assessable ? FormatFixed(p, 3, kDecimalMark) : std::string("—");
  };
  add("Остатки на шаг вперёд: серии, p", [&](const StateSpaceFit& f) {
    return pValue(f.Runs.Assessable, f.Runs.P);
  });
  add("  Шапиро-Уилк, p", [&](const StateSpaceFit& f) {
    return pValue(f.Normality.Assessable, f.Normality.P);
  });
  add("  Льюнг-Бокс, p", [&](const StateSpaceFit& f) {
    return pValue(f.Autocorrelation.Assessable, f.Autocorrelation.P);
  });
  out << FormatTable(header, rows);
  return out.str();
}

std::optional<AdoptedStateSpace> AdoptStateSpaceOfChosen(Session& session,
                                                         const estimation::EstimationOutcome& last,
                                                         std::size_t variant,
                                                         const EstimateOptions& options) {
  AssessmentState& state = session.State();
  if (EstimatorOf(options) != Estimator::StateSpace) return std::nullopt;
  estimation::EstimateStateSpace(state, MakeStateSpaceOptions(options, last.Settings.Bounds));
  AdoptedStateSpace adopted;
  adopted.Label = estimation::VariantLabel(state.ModelFits, variant);
  adopted.Fit = *estimation::StateSpaceFitOf(state, state.ModelFits[variant].Kind);
  if (const auto refusal = estimation::StateSpaceAdoptionRefusal(state, variant)) {
    adopted.Message = *refusal;
  } else {
    estimation::AdoptStateSpace(state, variant);
    adopted.Adopted = true;
  }
  return adopted;
}

Json AdoptedStateSpaceJson(const AdoptedStateSpace& adopted) {
  Json entry = StateSpaceFitJson(adopted.Fit);
  entry["label"] = adopted.Label;
  entry["adopted"] = adopted.Adopted;
  if (!adopted.Adopted) entry["message"] = adopted.Message;
  return entry;
}

std::string AdoptedStateSpaceText(const AdoptedStateSpace& adopted) {
  if (!adopted.Adopted) return adopted.Message + "\n";
  const StateSpaceFit& f = adopted.Fit;
  return "Приняты оценки модели пространства состояний для варианта «" + adopted.Label +
         "»: r = " + estimation::SignificantText(f.R.Value, kDecimalMark) +
         ", K = " + estimation::SignificantText(f.K.Value, kDecimalMark) +
         ", q = " + FormatCatchability(f.Q.Value, kDecimalMark) +
         ", σ_p = " + FormatFixed(f.SigmaP.Value, 4, kDecimalMark) +
         ", σ_o = " + FormatFixed(f.SigmaO.Value, 4, kDecimalMark) + "\n";
}

}  // namespace tarvik::cli
