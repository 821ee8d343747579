#include "estimation/surface.h"

#include <cmath>

#include "common/elementary.h"
#include "common/error.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/r_picture.h"
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
      return {fmsy, model::Divide(elementary::Exp(1.0) * msy, fmsy, where)};
    case ProductionModelKind::PellaTomlinson:
      return {
          model::Divide(fmsy * (p + 1.0), p, where),
          model::Divide(model::Power(p + 1.0, model::Divide(1.0, p, where)) * msy, fmsy, where)};
  }
  return {};
}

SurfaceGrids ComputeObjectiveSurface(const data::CatchEffortSeries& series,
                                     const std::vector<model::ModelFit>& fits, std::size_t variant,
                                     int trimPosition, const std::string& dataFileName,
                                     const SurfaceOptions& options) {
  if (variant >= fits.size()) {
    throw Error("Нет варианта модели с номером " + std::to_string(variant));
  }
  CheckTrimPosition(trimPosition);
  const model::ModelFit& fit = fits[variant];
  SurfaceGrids g;
  g.DataFileName = dataFileName;
  g.Variant = variant;
  g.Kind = fit.Kind;
  g.Objective = fit.Objective;
  g.R = fit.R;
  g.K = fit.K;
  g.Q = fit.Q;
  g.P = fit.Kind == ProductionModelKind::PellaTomlinson ? fit.Exponent : 0.0;

  g.KeepCount = model::KeepCountFor(series.size(), trimPosition);

  // MSY point of the estimate, for the grids only: the record keeps its own.
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

std::string FormatGraph2Script(std::string_view directory, const SurfaceGrids& grids,
                               int catchUnitExponent) {
  // K and MSY are masses in the catch unit; the objective is a plain number.
  const PictureScale k = MassScale(LargestMagnitude(grids.KValues), catchUnitExponent);
  const PictureScale msy = MassScale(LargestMagnitude(grids.MsyValues), catchUnitExponent);
  const PictureScale l1 = PlainScale(LargestMagnitude(grids.Block1));
  const PictureScale l2 = PlainScale(LargestMagnitude(grids.Block2));
  const auto picture = [](const std::string& matrix, const std::string& xTitle,
                          const std::string& yTitle, const PictureScale& l) {
    return std::vector<std::string>{
        "par(cex.axis = 1.5,font.axis = 2) ",
        "par(mar = fit.margins(c(3.7, 0, 1.5, 0.0), beta, " + matrix + ", 7)) ",
        "filled.contour(alpha, beta, " + matrix +
            ", nlevels = 7,col= terrain.colors(10), plot.axes = draw.axes(alpha, beta, \"" +
            xTitle + "\", \"" + yTitle + "\", 1.5, 4), key.axes = draw.key(" + matrix + ", 7, \"" +
            RTitle("L", l) + "\", 1.5, 4)) ",
        "dev.off() "};
  };
  std::vector<std::string> lines = {"dannie<-as.matrix(read.table(file=\"" +
                                    RStringContent(directory) + "/OutMatrix.txt\",header=FALSE)) "};
  lines.insert(lines.end(), RContourHelpers().begin(), RContourHelpers().end());
  const std::vector<std::string> block1 = {
      "alpha = as.vector(dannie[2:51,1]) ",
      "beta= as.vector(dannie[1,2:51])" + RDivision(k) + " ",
      "x= as.matrix(dannie[2:51,2:51])" + RDivision(l1) + " ",
      "bmp (\"graph5.bmp\", width = 460, height = 330 ) ",
  };
  const std::vector<std::string> block2 = {
      "alpha = as.vector(dannie[53:102,1])" + RDivision(msy) + " ",
      "beta= as.vector(dannie[52,2:51]) ",
      "x2= as.matrix(dannie[53:102,2:51])" + RDivision(l2) + " ",
      "bmp (\"graph6.bmp\", width = 460, height = 330 ) ",
  };
  for (const auto& part : {block1, picture("x", "r", RTitle("K", k), l1), block2,
                           picture("x2", RTitle("MSY", msy), "FMSY", l2)}) {
    lines.insert(lines.end(), part.begin(), part.end());
  }
  std::string out;
  for (const auto& line : lines) out += line + kCrLf;
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

SurfaceFiles WriteSurfaceFiles(const std::filesystem::path& directory, const SurfaceGrids& grids,
                               int catchUnitExponent) {
  RefuseDataFileAmong(directory, SurfaceWorkFiles(), grids.DataFileName);
  const std::string matrix = FormatOutMatrix(grids);
  const std::string script =
      FormatGraph2Script(ScriptDirectory(directory), grids, catchUnitExponent);
  SurfaceFiles files{directory / "OutMatrix.txt", directory / "Graph2.R"};
  WriteFile(files.Matrix, matrix);
  WriteFile(files.Script, script);
  return files;
}

}  // namespace tarvik::estimation
