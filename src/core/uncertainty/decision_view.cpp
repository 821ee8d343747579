#include "uncertainty/decision_view.h"

#include "common/numbers.h"

namespace tarvik::uncertainty {

std::vector<std::string> OutlookItems() {
  std::vector<std::string> items;
  for (std::size_t i = 0; i < kOutlookCount; ++i) {
    items.push_back(OutlookName(static_cast<Outlook>(i)));
  }
  return items;
}

DecisionGrid DecisionGridOf(const DecisionTable& table, Outlook outlook, char mark) {
  DecisionGrid grid;
  std::vector<std::string> head = {"Вариант", "Улов, т"};
  for (int i = 0; i < table.Horizon; ++i) head.push_back(std::to_string(table.FirstYear + i));
  grid.Cells.push_back(std::move(head));
  for (const OptionOutlook& row : table.Rows) {
    std::vector<std::string> cells = {row.Option.Label, CatchText(row.Option.Catch, mark)};
    std::vector<RiskColour> colours;
    for (const YearOutlook& year : row.Years) {
      const double value = ValueOf(year, outlook);
      cells.push_back(CellText(outlook, value, mark));
      colours.push_back(ColourOf(outlook, value, table.MaxCatch.Risk));
    }
    grid.Cells.push_back(std::move(cells));
    grid.Colours.push_back(std::move(colours));
  }
  return grid;
}

std::string DecisionCaption(const DecisionTableResult& result, char mark) {
  const DecisionTable& table = result.Table;
  std::string text = "Повторов бутстрепа: " + std::to_string(table.ReplicatesUsed);
  if (result.FailedReplicates > 0) {
    text += " (не оценены и не учтены: " + std::to_string(result.FailedReplicates) + ")";
  }
  text += ", зерно " + std::to_string(table.Seed) +
          "; Blim = " + FormatGeneral(table.BlimFraction, mark) +
          "·BMSY каждого повтора; допустимый риск " +
          FormatGeneral(100.0 * table.MaxCatch.Risk, mark) + " %";
  text += result.BootstrapRunHere ? "; бутстреп выполнен для таблицы"
                                  : "; бутстреп доверительных интервалов";
  return text;
}

}  // namespace tarvik::uncertainty
