#include "diagnostics/bounds.h"

#include <algorithm>
#include <cmath>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::diagnostics {
namespace {

using model::ProductionModelKind;

// The value as the results panel writes it.
std::string Shown(const std::string& parameter, double x, char mark) {
  if (parameter == "r") return FormatFixed(x, 2, mark);
  if (parameter == "K") return FormatFixed(x, 0, mark);
  if (parameter == "q") return FormatCatchability(x, mark);
  return FormatFixed(x, 2, mark);
}

// x rounded to 3 significant digits: down, up or to the nearest.
double ThreeDigits(double x, int direction) {
  const double scale = elementary::Pow(10.0, std::floor(std::log10(x)) - 2.0);
  const double units = x / scale;
  const double rounded = direction < 0   ? std::floor(units)
                         : direction > 0 ? std::ceil(units)
                                         : std::nearbyint(units);
  return rounded * scale;
}

}  // namespace

std::vector<BoundHit> ParametersAtBounds(const estimation::ParameterPoint& x,
                                         const estimation::ParameterBounds& b, bool pellaTomlinson,
                                         char mark) {
  struct Parameter {
    const char* Name;
    double Value, Lo, Hi;
  };
  std::vector<Parameter> parameters = {
      {"r", x.r, b.MinR, b.MaxR}, {"K", x.K, b.MinK, b.MaxK}, {"q", x.q, b.MinQ, b.MaxQ}};
  if (pellaTomlinson) parameters.push_back({"p", x.p, b.MinP, b.MaxP});
  std::vector<BoundHit> hits;
  for (const Parameter& p : parameters) {
    const double lo = std::min(p.Lo, p.Hi), hi = p.Hi;
    // A pair that leaves no room fixes the value at its upper bound.
    const estimation::BoundSide side =
        lo < hi ? estimation::SideOnBound(p.Value, lo, hi) : estimation::BoundSide::Upper;
    if (side == estimation::BoundSide::None) continue;
    const bool upper = side == estimation::BoundSide::Upper;
    BoundHit hit;
    hit.Parameter = p.Name;
    hit.Upper = upper;
    hit.Value = p.Value;
    hit.Bound = upper ? hi : lo;
    hit.Text = hit.Parameter + " = " + Shown(hit.Parameter, p.Value, mark) + " на " +
               (upper ? "верхней" : "нижней") + " границе " + FormatGeneral(hit.Bound, mark) +
               ": оценка определяется границей, а не данными";
    hits.push_back(std::move(hit));
  }
  return hits;
}

ProposedBounds ProposeBounds(const data::CatchEffortSeries& series) {
  double maxCatch = 0.0, minU = 0.0, maxU = 0.0;
  bool anyU = false;
  for (std::size_t i = 0; i < series.size(); ++i) {
    if (i < series.C.size() && std::isfinite(series.C[i]))
      maxCatch = std::max(maxCatch, series.C[i]);
    const double u = series.U[i];
    if (!(u > 0.0) || !std::isfinite(u)) continue;
    minU = anyU ? std::min(minU, u) : u;
    maxU = anyU ? std::max(maxU, u) : u;
    anyU = true;
  }
  if (!(maxCatch > 0.0) || !anyU) {
    throw Error(
        "Границы по данным не предложить: в ряду нет положительного улова или улова на усилие");
  }
  ProposedBounds p;
  estimation::ParameterBounds& b = p.Bounds;
  b.MinR = 0.01;
  b.MaxR = 1.5;
  b.MinK = ThreeDigits(maxCatch, -1);
  b.MaxK = ThreeDigits(1000.0 * maxCatch, 1);
  b.MinQ = ThreeDigits(minU / b.MaxK / 10.0, -1);
  b.MaxQ = ThreeDigits(maxU / b.MinK * 10.0, 1);
  p.Start.r = 0.5;
  p.Start.K = ThreeDigits(4.0 * maxCatch / p.Start.r, 0);
  p.Start.q = ThreeDigits(maxU / p.Start.K, 0);
  p.Start.p = 2.0;
  return p;
}

estimation::SearchTexts SearchTextsOf(const ProposedBounds& p, char mark) {
  estimation::SearchTexts t;
  t.InitialR = FormatGeneral(p.Start.r, mark);
  t.InitialK = FormatGeneral(p.Start.K, mark);
  t.InitialQ = FormatGeneral(p.Start.q, mark);
  t.MinR = FormatGeneral(p.Bounds.MinR, mark);
  t.MaxR = FormatGeneral(p.Bounds.MaxR, mark);
  t.MinK = FormatGeneral(p.Bounds.MinK, mark);
  t.MaxK = FormatGeneral(p.Bounds.MaxK, mark);
  t.MinQ = FormatGeneral(p.Bounds.MinQ, mark);
  t.MaxQ = FormatGeneral(p.Bounds.MaxQ, mark);
  return t;
}

int ParameterCount(ProductionModelKind kind) {
  return kind == ProductionModelKind::PellaTomlinson ? 4 : 3;
}

std::size_t FewestYears(ProductionModelKind kind) {
  return static_cast<std::size_t>(ParameterCount(kind)) + 3;
}

std::optional<std::string> TooFewYears(std::size_t years, ProductionModelKind kind,
                                       std::string_view label) {
  if (years >= FewestYears(kind)) return std::nullopt;
  const std::size_t residuals = years > 2 ? years - 2 : 0;
  const bool pt = kind == ProductionModelKind::PellaTomlinson;
  return "Вариант «" + std::string(label) + "»: " + CountWithNoun(years, "год", "года", "лет") +
         " данных " + (years % 10 == 1 && years % 100 != 11 ? "даёт " : "дают ") +
         CountWithNoun(residuals, "остаток", "остатка", "остатков") + ", а модель оценивает " +
         CountWithNoun(static_cast<std::size_t>(ParameterCount(kind)), "параметр", "параметра",
                       "параметров") +
         (pt ? " (r, K, q, p)" : " (r, K, q)") + "; нужно не меньше " +
         CountWithNoun(FewestYears(kind), "год", "года", "лет");
}

}  // namespace tarvik::diagnostics
