#include "rules/optimisation_files.h"

#include "common/error.h"
#include "common/files.h"
#include "common/numbers.h"
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

std::string FormatOptimisationScript(const std::string& directory) {
  const std::string axes =
      "par(cex.axis = 1.2,font.axis = 1,cex.main = 1.2,bg = \"gray90\", "
      "font.main = 2, mar = c(2, 2.6, 1.5, 4.1) ) ";
  const std::string alphaLabel =
      "mtext(\"alpha\", side = 1, line = 1, adj = 0.8, cex = 1 , font = 3) ";
  const std::string betaLabel =
      "mtext(\"beta\", side = 3, line = 0, adj = -0.3, las =1, cex = 1, font = 3) ";
  const auto title = [](const char* utf8) { return RStringContent(utf8); };
  const std::vector<std::string> lines = {
      "dannie<-as.matrix(read.table(file=\"" + RPathContent(directory) +
          "/OutMatrix.txt\",header=FALSE)) ",
      "alpha = as.vector(dannie[2:52,1]) ",
      "beta= as.vector(dannie[1,2:52]) ",
      "x= as.matrix(dannie[2:52,2:52]) ",
      "bmp (\"graph.bmp\", width = 250, height = 193 ) ",
      axes,
      "filled.contour(alpha, beta, x, nlevels = 7,col= heat.colors(10), main =\"" +
          title("Улов, т") + "\") ",
      alphaLabel,
      betaLabel,
      "dev.off() ",
      "x2= as.matrix(dannie[54:104,2:52]) ",
      "bmp (\"graph2.bmp\", width = 250, height = 193) ",
      axes,
      "filled.contour(alpha, beta, x2, nlevels = 7,col= terrain.colors(10), main =\"" +
          title("Биомасса, т") + "\") ",
      alphaLabel,
      betaLabel,
      "dev.off() ",
      "x3= as.matrix(dannie[106:156,2:52]) ",
      "bmp (\"graph3.bmp\", width = 250, height = 193) ",
      axes,
      "filled.contour(alpha, beta, x3, nlevels = 7,col= topo.colors(10), main =\"" +
          title("Вариаб-ть улова") + "\") ",
      alphaLabel,
      betaLabel,
      "dev.off() ",
      "x4= as.matrix(dannie[158:208,2:52]) ",
      "bmp (\"graph4.bmp\", width = 250, height = 193) ",
      axes,
      "filled.contour(alpha, beta, x4, n = 7,col= rainbow(10,v=0.9), main =\"" +
          title("Риск B< Bср") + "\") ",
      alphaLabel,
      betaLabel,
      "dev.off() ",
  };
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
                                   const std::vector<CandidateIndicators>& cells) {
  const std::string matrix = FormatOptimisationMatrix(alphas, betas, cells);
  const std::string script = FormatOptimisationScript(directory);
  WriteTextFile(JoinPath(directory, kOptimisationMatrixFile), matrix);
  const std::string scriptPath = JoinPath(directory, kOptimisationScriptFile);
  WriteTextFile(scriptPath, script);
  return scriptPath;
}

}  // namespace tarvik::rules
