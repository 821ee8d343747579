#include "rules/optimisation_files.h"

#include "common/error.h"
#include "common/files.h"
#include "common/numbers.h"
#include "common/r_picture.h"
#include "common/r_text.h"

namespace tarvik::rules {

namespace {

constexpr const char* kEol = "\r\n";

void AppendHeader(std::string& out, const std::vector<double>& betas) {
  out += '0';
  for (double beta : betas) out += FormatMatrixField(beta, 10, 2);
  out += kEol;
}

template <typename Value>
void AppendBlock(std::string& out, const std::vector<double>& alphas,
                 const std::vector<double>& betas, const std::vector<CandidateIndicators>& cells,
                 int decimals, Value value) {
  AppendHeader(out, betas);
  for (std::size_t i = 0; i < alphas.size(); ++i) {
    out += FormatField(alphas[i], 5, 2);
    for (std::size_t j = 0; j < betas.size(); ++j) {
      out += FormatMatrixField(value(cells[i * betas.size() + j]), 10, decimals);
    }
    out += kEol;
  }
}

}  // namespace

std::string FormatOptimisationMatrix(const std::vector<double>& alphas,
                                     const std::vector<double>& betas,
                                     const std::vector<CandidateIndicators>& cells) {
  if (cells.size() != alphas.size() * betas.size()) {
    throw Error(
        "Внутренняя ошибка: размер матрицы оптимизации не совпадает с сеткой alpha × beta.");
  }
  std::string out;
  out.reserve(4 * (alphas.size() + 1) * (10 * betas.size() + 8));
  AppendBlock(out, alphas, betas, cells, 2, [](const auto& c) { return c.MeanCatch; });
  out += kEol;
  AppendBlock(out, alphas, betas, cells, 0, [](const auto& c) { return c.MeanBiomass; });
  out += kEol;
  AppendBlock(out, alphas, betas, cells, 4, [](const auto& c) { return c.CatchVariability; });
  out += kEol;
  AppendBlock(out, alphas, betas, cells, 4, [](const auto& c) { return c.RiskBelowMean; });
  return out;
}

std::string FormatOptimisationScript(const std::string& directory,
                                     const std::vector<CandidateIndicators>& cells,
                                     int catchUnitExponent) {
  // Catch, biomass and catch variability are masses in the catch unit; the
  // risk is a share.
  const auto scale = [&](double CandidateIndicators::*indicator) {
    std::vector<double> values;
    values.reserve(cells.size());
    for (const auto& cell : cells) values.push_back(cell.*indicator);
    return MassScale(LargestMagnitude(values), catchUnitExponent);
  };
  const PictureScale catchScale = scale(&CandidateIndicators::MeanCatch);
  const PictureScale biomassScale = scale(&CandidateIndicators::MeanBiomass);
  const PictureScale variabilityScale = scale(&CandidateIndicators::CatchVariability);
  const auto picture = [](const std::string& matrix, const std::string& read,
                          const std::string& bmp, const std::string& levels,
                          const std::string& colours, const std::string& title) {
    return std::vector<std::string>{
        matrix + "= " + read + " ",
        bmp,
        "par(cex.axis = 1.2,font.axis = 1,cex.main = 1.2,bg = \"gray90\", font.main = 2, "
        "mgp = c(3, 0.5, 0), tcl = -0.3) ",
        "par(mar = fit.margins(c(2.8, 0, 1.5, 4.1), beta, " + matrix + ", 7)) ",
        "filled.contour(alpha, beta, " + matrix + ", " + levels + " = 7,col= " + colours +
            ", plot.axes = draw.axes(alpha, beta, \"alpha\", \"beta\", 1, 3), key.axes = "
            "draw.key(" +
            matrix + ", 7, \"\", 1, 3), plot.title = draw.title(\"" + title +
            "\", \"beta\", 1, 3)) ",
        "dev.off() "};
  };
  std::vector<std::string> lines = {"dannie<-as.matrix(read.table(file=\"" +
                                    RPathContent(directory) + "/OutMatrix.txt\",header=FALSE)) "};
  lines.insert(lines.end(), RContourHelpers().begin(), RContourHelpers().end());
  lines.push_back("alpha = as.vector(dannie[2:52,1]) ");
  lines.push_back("beta= as.vector(dannie[1,2:52]) ");
  for (const auto& part : {
           picture("x", "as.matrix(dannie[2:52,2:52])" + RDivision(catchScale),
                   "bmp (\"graph.bmp\", width = 250, height = 193 ) ", "nlevels", "heat.colors(10)",
                   RTitle("Улов", catchScale)),
           picture("x2", "as.matrix(dannie[54:104,2:52])" + RDivision(biomassScale),
                   "bmp (\"graph2.bmp\", width = 250, height = 193) ", "nlevels",
                   "terrain.colors(10)", RTitle("Биомасса", biomassScale)),
           picture("x3", "as.matrix(dannie[106:156,2:52])" + RDivision(variabilityScale),
                   "bmp (\"graph3.bmp\", width = 250, height = 193) ", "nlevels", "topo.colors(10)",
                   RTitle("Вариаб-ть улова", variabilityScale)),
           picture("x4", "as.matrix(dannie[158:208,2:52])",
                   "bmp (\"graph4.bmp\", width = 250, height = 193) ", "n", "rainbow(10,v=0.9)",
                   RStringContent("Риск B< Bср")),
       }) {
    lines.insert(lines.end(), part.begin(), part.end());
  }
  std::string out;
  for (const auto& line : lines) out += line + kEol;
  return out;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  WriteFileAtomically(path, text);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  const char last = directory.back();
  if (last == '/' || last == '\\') return directory + name;
#ifdef _WIN32
  return directory + "\\" + name;
#else
  return directory + "/" + name;
#endif
}

std::vector<std::string> OptimisationWorkFiles() {
  std::vector<std::string> names = {kOptimisationMatrixFile, kOptimisationScriptFile, "Graph.Rout"};
  names.insert(names.end(), kOptimisationPictures.begin(), kOptimisationPictures.end());
  return names;
}

std::string WriteOptimisationFiles(const std::string& directory, const std::vector<double>& alphas,
                                   const std::vector<double>& betas,
                                   const std::vector<CandidateIndicators>& cells,
                                   int catchUnitExponent) {
  const std::string matrix = FormatOptimisationMatrix(alphas, betas, cells);
  const std::string script = FormatOptimisationScript(directory, cells, catchUnitExponent);
  WriteTextFile(JoinPath(directory, kOptimisationMatrixFile), matrix);
  const std::string scriptPath = JoinPath(directory, kOptimisationScriptFile);
  WriteTextFile(scriptPath, script);
  return scriptPath;
}

}  // namespace tarvik::rules
