#include "estimation/surface.h"

#include <cmath>

#include "common/error.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/r_text.h"
#include "estimation/parameter_search.h"
#include "model/checked.h"
#include "model/objective.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

constexpr int kN = SurfaceGrids::kSize;
constexpr const char* kCrLf = "\r\n";

// start, start + step, … by repeated addition.
std::array<double, kN> Axis(double estimate) {
  std::array<double, kN> axis{};
  const double step = 0.4 * estimate / 50.0;
  double value = 0.8 * estimate;
  for (int i = 0; i < kN; ++i) {
    axis[static_cast<std::size_t>(i)] = value;
    value = value + step;
  }
  return axis;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  const std::u8string name = path.u8string();
  WriteFileAtomically(std::string(name.begin(), name.end()), bytes);
}

}  // namespace

RK SurfaceParameters(ProductionModelKind kind, double msy, double fmsy, double p) {
  const char* where = "расчёте сетки MSY/FMSY";
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return {2.0 * fmsy, model::Divide(2.0 * msy, fmsy, where)};
    case ProductionModelKind::Fox:
      return {fmsy, model::Divide(std::exp(1.0) * msy, fmsy, where)};
    case ProductionModelKind::PellaTomlinson:
      return {
          model::Divide(fmsy * (p + 1.0), p, where),
          model::Divide(model::Power(p + 1.0, model::Divide(1.0, p, where)) * msy, fmsy, where)};
  }
  return {};
}

SurfaceGrids ComputeObjectiveSurface(AssessmentState& state, std::size_t variant, int trimPosition,
                                     const SurfaceOptions& options) {
  if (variant >= state.ModelFits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(variant));
  }
  CheckTrimPosition(trimPosition);
  model::ModelFit& fit = state.ModelFits[variant];
  SurfaceGrids g;
  g.DataFileName = state.DataFileName;
  g.Variant = variant;
  g.Kind = fit.Kind;
  g.Objective = fit.Objective;
  g.R = fit.R;
  g.K = fit.K;
  g.Q = fit.Q;
  g.P = fit.Kind == ProductionModelKind::PellaTomlinson ? fit.Exponent : 0.0;

  const data::CatchEffortSeries& series = state.AnalysisSeries;
  g.KeepCount = model::KeepCountFor(series.size(), trimPosition);

  // MSY point of the estimate; the record and the keep count take it when
  // both grids are done.
  const model::MsyPoint msyPoint = model::MsyPointOf(fit);
  const double msy = msyPoint.MSY;
  const double fmsy = msyPoint.FMSY;
  g.BMSY = msyPoint.BMSY;
  g.MSY = msy;
  g.FMSY = fmsy;

  if (options.OnMemo) options.OnMemo({});
  g.RValues = Axis(g.R);
  g.KValues = Axis(g.K);
  g.MsyValues = Axis(msy);
  g.FmsyValues = Axis(fmsy);
  const auto evaluate = [&](double r, double K) {
    return model::EvaluateObjective(series, fit.Objective, fit.Kind, r, K, g.Q, g.P, g.KeepCount);
  };
  int rowsDone = 0;
  const auto progress = [&] {
    ++rowsDone;
    if (options.OnProgress) options.OnProgress(2 * rowsDone, 200);
  };
  if (options.OnProgress) options.OnProgress(0, 200);
  g.Block1.reserve(kN * kN);
  for (double r : g.RValues) {
    for (double K : g.KValues) g.Block1.push_back(evaluate(r, K));
    progress();
  }
  g.Block2.reserve(kN * kN);
  for (double m : g.MsyValues) {
    for (double f : g.FmsyValues) {
      const RK point = SurfaceParameters(fit.Kind, m, f, g.P);
      g.Block2.push_back(evaluate(point.r, point.K));
    }
    progress();
  }
  state.MedianKeepCount = g.KeepCount;
  fit.BMSY = msyPoint.BMSY;
  fit.MSY = msy;
  fit.FMSY = fmsy;
  if (options.OnMemo) options.OnMemo({"Расчёт окончен"});
  return g;
}

std::string FormatOutMatrix(const SurfaceGrids& g) {
  std::string out;
  out.reserve(2 * 51 * 520);
  out += "0";
  for (double K : g.KValues) out += FormatMatrixField(K, 10, 0);
  out += kCrLf;
  for (int i = 0; i < kN; ++i) {
    out += FormatField(g.RValues[static_cast<std::size_t>(i)], 10, 6);
    for (int j = 0; j < kN; ++j)
      out += FormatMatrixField(g.Block1[static_cast<std::size_t>(i * kN + j)], 10, 3);
    out += kCrLf;
  }
  out += kCrLf;
  out += "0";
  for (double F : g.FmsyValues) out += FormatMatrixField(F, 10, 6);
  out += kCrLf;
  for (int i = 0; i < kN; ++i) {
    out += FormatField(g.MsyValues[static_cast<std::size_t>(i)], 10, 3);
    for (int j = 0; j < kN; ++j)
      out += FormatMatrixField(g.Block2[static_cast<std::size_t>(i * kN + j)], 10, 3);
    out += kCrLf;
  }
  return out;
}

std::string ScriptDirectory(const std::filesystem::path& directory) {
  std::string d = std::filesystem::absolute(directory).lexically_normal().string();
#ifdef _WIN32
  for (char& ch : d) {
    if (ch == '\\') ch = '/';
  }
#endif
  while (!d.empty() && d.back() == '/') d.pop_back();
  return d;
}

std::string FormatGraph2Script(std::string_view directory) {
  const char* const lines[] = {
      nullptr,  // line 1 names the matrix file
      "alpha = as.vector(dannie[2:51,1]) ",
      "beta= as.vector(dannie[1,2:51]) ",
      "x= as.matrix(dannie[2:51,2:51]) ",
      "bmp (\"graph5.bmp\", width = 460, height = 330 ) ",
      "par(cex.axis = 1.5,font.axis = 2 ,mar = c(2.5, 4.7, 1.5, 0.0)) ",
      "filled.contour(alpha, beta, x, nlevels = 7,col= terrain.colors(10) ) ",
      "mtext(\"r\", side = 1, line = 1, adj = 0.8, cex = 1.5 , font = 4) ",
      "mtext(\"K\", side = 3, line = 0, adj = -0.1, las =1, cex = 1.5, font = 4) ",
      "mtext(\"L\", side = 1, line = 0, adj = 1.02, cex = 1.5 , font = 4) ",
      "dev.off() ",
      "alpha = as.vector(dannie[53:102,1]) ",
      "beta= as.vector(dannie[52,2:51]) ",
      "x2= as.matrix(dannie[53:102,2:51]) ",
      "bmp (\"graph6.bmp\", width = 460, height = 330 ) ",
      "par(cex.axis = 1.5,font.axis = 2 ,mar = c(2.5, 4.7, 1.5, 0.0)) ",
      "filled.contour(alpha, beta, x2, nlevels = 7,col= terrain.colors(10) ) ",
      "mtext(\"MSY\", side = 1, line = 1, adj = 0.85, cex = 1.5 , font = 4) ",
      "mtext(\"FMSY\", side = 3, line = 0, adj = -0.1, las =1, cex = 1.5, font = 4)  ",
      "mtext(\"L\", side = 1, line = 0, adj = 1.02, cex = 1.5 , font = 4)  ",
      "dev.off() ",
  };
  std::string out = "dannie<-as.matrix(read.table(file=\"" + RStringContent(directory) +
                    "/OutMatrix.txt\",header=FALSE)) " + kCrLf;
  for (std::size_t i = 1; i < std::size(lines); ++i) {
    out += lines[i];
    out += kCrLf;
  }
  return out;
}

SurfacePicture ToggleSurfacePicture(bool& showingMsyFmsy) {
  showingMsyFmsy = !showingMsyFmsy;
  if (showingMsyFmsy) return {"graph6.bmp", "r/K"};
  return {"graph5.bmp", "MSY/FMSY"};
}

const std::vector<std::string>& SurfaceWorkFiles() {
  static const std::vector<std::string> names = {"OutMatrix.txt", "Graph2.R", "Graph2.Rout",
                                                 "graph5.bmp", "graph6.bmp"};
  return names;
}

SurfaceFiles WriteSurfaceFiles(const std::filesystem::path& directory, const SurfaceGrids& grids) {
  RefuseDataFileAmong(directory, SurfaceWorkFiles(), grids.DataFileName);
  const std::string matrix = FormatOutMatrix(grids);
  const std::string script = FormatGraph2Script(ScriptDirectory(directory));
  SurfaceFiles files{directory / "OutMatrix.txt", directory / "Graph2.R"};
  WriteFile(files.Matrix, matrix);
  WriteFile(files.Script, script);
  return files;
}

}  // namespace tarvik::estimation
