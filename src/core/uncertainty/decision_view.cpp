#include "uncertainty/decision_view.h"

#include "common/numbers.h"
#include "common/r_picture.h"
#include "uncertainty/bootstrap_view.h"

namespace tarvik::uncertainty {
namespace {

std::string Percent(double fraction, char mark) {
  return FormatFixed(100.0 * fraction, 1, mark) + " %";
}

std::string YearsText(const DecisionTable& t) {
  if (t.Horizon == 1) return "в " + std::to_string(t.FirstYear) + " г.";
  return "в каждом году " + std::to_string(t.FirstYear) + "–" +
         std::to_string(t.FirstYear + t.Horizon - 1);
}

std::string TonnesAndMsy(const DecisionTable& t, double c, int unit, char mark) {
  std::string text = CatchText(c, mark) + " " + MassUnit(unit);
  if (t.PointMsy > 0.0) text += " (" + FormatFixed(c / t.PointMsy, 2, mark) + "·MSY)";
  return text;
}

}  // namespace

std::string OutlookName(Outlook outlook) {
  static const char* const names[kOutlookCount] = {"P(B < Blim)", "P(B < BMSY)", "P(F > FMSY)",
                                                   "P(зелёная зона)", "Медиана B/BMSY"};
  return names[static_cast<std::size_t>(outlook)];
}

RiskColour ColourOf(Outlook outlook, double value, double risk) {
  // Thresholds from the best class down, for a value where more is better.
  const auto classify = [](double v, double dark, double light, double yellow, double orange) {
    if (v >= dark) return RiskColour::DarkGreen;
    if (v >= light) return RiskColour::LightGreen;
    if (v >= yellow) return RiskColour::Yellow;
    if (v >= orange) return RiskColour::Orange;
    return RiskColour::Red;
  };
  switch (outlook) {
    case Outlook::ProbGreen:
      return classify(value, 0.75, 0.70, 0.60, 0.50);
    case Outlook::ProbBelowBmsy:
    case Outlook::ProbAboveFmsy:
      return classify(-value, -0.25, -0.30, -0.40, -0.50);
    case Outlook::ProbBelowBlim:
      return classify(-value, -0.5 * risk, -risk, -2.0 * risk, -4.0 * risk);
    case Outlook::MedianBOverBmsy:
      return classify(value, 1.0, 0.9, 0.75, 0.5);
  }
  return RiskColour::Red;
}

std::string CellText(Outlook outlook, double value, char mark) {
  if (outlook == Outlook::MedianBOverBmsy) return FormatFixed(value, 2, mark);
  return Percent(value, mark);
}

std::vector<std::string> TableLines(const DecisionTable& table, Outlook outlook, int catchUnit,
                                    char mark) {
  std::string head = "Вариант\t" + MassTitle("Улов", catchUnit);
  for (int i = 0; i < table.Horizon; ++i) head += "\t" + std::to_string(table.FirstYear + i);
  std::vector<std::string> lines{head};
  for (const OptionOutlook& row : table.Rows) {
    std::string line = row.Option.Label + "\t" + CatchText(row.Option.Catch, mark);
    for (const YearOutlook& cell : row.Years)
      line += "\t" + CellText(outlook, ValueOf(cell, outlook), mark);
    lines.push_back(line);
  }
  return lines;
}

std::string CriterionText(RiskCriterion criterion, double threshold, char mark) {
  const std::string p = FormatGeneral(100.0 * threshold, mark) + " %";
  switch (criterion) {
    case RiskCriterion::BelowBlim:
      return "вероятность B < Blim не выше " + p;
    case RiskCriterion::BelowBmsy:
      return "вероятность B < BMSY не выше " + p;
    case RiskCriterion::Green:
      return "вероятность зелёной зоны не ниже " + p;
  }
  return "";
}

std::vector<std::string> CriterionItems() {
  return {"P(B < Blim) не выше p", "P(B < BMSY) не выше p", "P(зелёная зона) не ниже p"};
}

std::string RefusalText(const MaxCatchAtRisk& m, char mark) {
  if (m.Outcome != CatchSearch::RefusedAtBounds) return {};
  std::string bounds;
  for (const BoundShare& b : m.Truncation) {
    bounds += (bounds.empty() ? "" : ", ") + BoundParameterName(b.Parameter) +
              (b.Upper ? " на верхней" : " на нижней") + " границе у " +
              FormatFixed(100.0 * b.Share, 0, mark) + " % повторов";
  }
  return "Наибольший улов не назван: риск определяется границами поиска, а не данными (" + bounds +
         "); задайте границы по данным («Границы по данным» на странице оценки параметров) и "
         "рассчитайте заново.";
}

std::string ProcessErrorText(const DecisionTable& table, char mark) {
  if (table.ProcessSigma == 0.0) {
    return "Ошибка процесса: σ = 0 (риск только от неопределённости параметров)";
  }
  return "Ошибка процесса: шум биомассы B[t+1] = (B[t] + P(B[t]) − C[t])·exp(η − σ²/2), η ~ N(0, "
         "σ²), σ = " +
         FormatGeneral(table.ProcessSigma, mark) +
         (table.ProcessSource == ProcessErrorSource::Default
              ? " (по умолчанию: обычная средняя изменчивость процесса)"
              : " (задано)") +
         "; одни и те же случайные числа для всех вариантов улова";
}

std::string MaxCatchSentence(const DecisionTable& table, int catchUnit, char mark) {
  const MaxCatchAtRisk& m = table.MaxCatch;
  const std::string criterion = CriterionText(m.Criterion, m.Risk, mark);
  const std::string end = std::to_string(table.FirstYear + table.Horizon - 1);
  switch (m.Outcome) {
    case CatchSearch::Found:
      return "Наибольший постоянный улов, при котором " + criterion + " " + YearsText(table) +
             ": " + TonnesAndMsy(table, m.Catch, catchUnit, mark) + "; вероятность B < BMSY в " + end +
             " г. при нём " + Percent(m.ProbBelowBmsyEnd, mark) + ".";
    case CatchSearch::NoneWithinRisk: {
      const std::string p = FormatGeneral(100.0 * m.Risk, mark) + " %";
      const std::string failed =
          m.Criterion == RiskCriterion::BelowBlim   ? "вероятность B < Blim выше " + p
          : m.Criterion == RiskCriterion::BelowBmsy ? "вероятность B < BMSY выше " + p
                                                    : "вероятность зелёной зоны ниже " + p;
      return "Даже без вылова " + failed + " (" + Percent(m.WorstValue, mark) + " в " +
             std::to_string(m.WorstYear) + " г.): постоянного улова с таким риском нет.";
    }
    case CatchSearch::LargestOptionWithinRisk:
      return "Все варианты улова, до наибольшего " + TonnesAndMsy(table, m.Catch, catchUnit, mark) +
             ", держат " + criterion + " " + YearsText(table) + " (вероятность B < BMSY в " +
             end + " г. при нём " + Percent(m.ProbBelowBmsyEnd, mark) +
             "): наибольший допустимый улов не меньше его; чтобы найти его, добавьте варианты "
             "больше.";
    case CatchSearch::RefusedAtBounds:
      return RefusalText(m, mark);
  }
  return "";
}

std::vector<std::string> DecisionReportLines(const DecisionTable& table, int catchUnit,
                                             char mark) {
  std::vector<std::string> lines;
  lines.push_back("Таблица решений: вероятность B < Blim при постоянном улове (Blim = " +
                  FormatGeneral(table.BlimFraction, mark) + "·BMSY каждого повтора; повторов " +
                  std::to_string(table.ReplicatesUsed) + ", зерно " + std::to_string(table.Seed) +
                  ")");
  lines.push_back(
      "Динамика запаса: годовой баланс биомассы с параметрами каждого повтора, от его биомассы "
      "на начало последнего года данных");
  lines.push_back(ProcessErrorText(table, mark));
  for (std::string& line : TableLines(table, Outlook::ProbBelowBlim, catchUnit, mark)) {
    lines.push_back(std::move(line));
  }
  lines.push_back(MaxCatchSentence(table, catchUnit, mark));
  return lines;
}

std::vector<std::string> OutlookItems() {
  std::vector<std::string> items;
  for (std::size_t i = 0; i < kOutlookCount; ++i) {
    items.push_back(OutlookName(static_cast<Outlook>(i)));
  }
  return items;
}

DecisionGrid DecisionGridOf(const DecisionTable& table, Outlook outlook, int catchUnit,
                            char mark) {
  DecisionGrid grid;
  // P(B < Blim) is shaded against the chosen risk when that is its criterion.
  const double blimRisk = table.MaxCatch.Criterion == RiskCriterion::BelowBlim
                              ? table.MaxCatch.Risk
                              : kDefaultRisk;
  std::vector<std::string> head = {"Вариант", MassTitle("Улов", catchUnit)};
  for (int i = 0; i < table.Horizon; ++i) head.push_back(std::to_string(table.FirstYear + i));
  grid.Cells.push_back(std::move(head));
  for (const OptionOutlook& row : table.Rows) {
    std::vector<std::string> cells = {row.Option.Label, CatchText(row.Option.Catch, mark)};
    std::vector<RiskColour> colours;
    for (const YearOutlook& year : row.Years) {
      const double value = ValueOf(year, outlook);
      cells.push_back(CellText(outlook, value, mark));
      colours.push_back(ColourOf(outlook, value, blimRisk));
    }
    grid.Cells.push_back(std::move(cells));
    grid.Colours.push_back(std::move(colours));
  }
  return grid;
}

std::string StateSpaceSigmaText(const ProcessSigmaReference& reference, char mark) {
  if (!reference.Available) {
    return "σ процесса по модели пространства состояний не оценена" +
           (reference.Reason.empty() ? std::string() : ": " + reference.Reason);
  }
  std::string text = "σ процесса по модели пространства состояний: " +
                     Significant(reference.Value, mark);
  if (reference.HasInterval) {
    text += " [" + Significant(reference.Lower, mark) + " – " +
            Significant(reference.Upper, mark) + "] (" +
            FormatGeneral(100.0 * reference.Level, mark) + " %)";
  }
  return text +
         "; не используется сама по себе: на рядах в 20–30 лет она стремится к 0 и занижает риск";
}

std::string DecisionCaption(const DecisionTableResult& result, char mark) {
  const DecisionTable& table = result.Table;
  std::string text = "Повторов бутстрепа: " + std::to_string(table.ReplicatesUsed);
  if (result.FailedReplicates > 0) {
    text += " (не оценены и не учтены: " + std::to_string(result.FailedReplicates) + ")";
  }
  text += ", зерно " + std::to_string(table.Seed) +
          "; Blim = " + FormatGeneral(table.BlimFraction, mark) +
          "·BMSY каждого повтора; критерий: " +
          CriterionText(table.MaxCatch.Criterion, table.MaxCatch.Risk, mark) + "; σ процесса " +
          FormatGeneral(table.ProcessSigma, mark) +
          (table.ProcessSource == ProcessErrorSource::Default ? " (по умолчанию)" : " (задано)");
  text += result.BootstrapRunHere ? "; бутстреп выполнен для таблицы"
                                  : "; бутстреп доверительных интервалов";
  return text;
}

}  // namespace tarvik::uncertainty
