#include "uncertainty/catch_options.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::uncertainty {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Lower case of ASCII and of the Russian letters in UTF-8 (А–Я, Ё), which is
// all the keywords need.
std::string Lowered(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + 32);
    } else if (c == 0xD0 && i + 1 < out.size()) {
      auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
      if (next >= 0x90 && next <= 0x9F) {  // А … П → а … п
        next = static_cast<unsigned char>(next + 0x20);
      } else if (next >= 0xA0 && next <= 0xAF) {  // Р … Я → р … я
        c = 0xD1;
        next = static_cast<unsigned char>(next - 0x20);
      } else if (next == 0x81) {  // Ё → ё
        c = 0xD1;
        next = 0x91;
      }
      ++i;
    }
  }
  return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string Example(char mark) {
  return std::string("0; 0") + mark + "5*MSY; MSY; 1200";
}

// One item of the list (already trimmed, not empty).
CatchOptionEntry ParseItem(std::string_view item, std::size_t number, char mark) {
  const std::string where =
      "Вариант улова № " + std::to_string(number) + " «" + MessageExcerpt(item) + "»";
  const std::string lower = Lowered(item);
  if (lower == "текущий" || lower == "текущий улов") return {CatchOptionKind::CurrentCatch, 0.0};
  if (lower == "оду" || lower == "оду правила") return {CatchOptionKind::RuleTac, 0.0};
  CatchOptionEntry entry;
  std::string_view numberText = item;
  if (EndsWith(lower, "msy")) {
    entry.Kind = CatchOptionKind::MsyMultiple;
    numberText = Trimmed(item.substr(0, item.size() - 3));
    for (std::string_view sign : {"*", "·", "×"}) {
      if (EndsWith(numberText, sign)) {
        numberText = Trimmed(numberText.substr(0, numberText.size() - sign.size()));
        break;
      }
    }
    if (numberText.empty()) return {CatchOptionKind::MsyMultiple, 1.0};
  }
  const std::optional<double> value = TryParseDouble(numberText, mark);
  if (!value) {
    throw Error(where + " не распознан: ожидается улов в тоннах (1200), доля MSY (0" + mark +
                "5*MSY), «текущий» или «ОДУ»");
  }
  if (*value < 0.0) throw Error(where + " отрицателен: улов не может быть меньше 0");
  entry.Value = *value + 0.0;  // no negative zero
  return entry;
}

std::string Label(const CatchOptionEntry& entry, char mark) {
  switch (entry.Kind) {
    case CatchOptionKind::Tonnes:
      return CatchText(entry.Value, mark);
    case CatchOptionKind::MsyMultiple:
      if (entry.Value == 0.0) return "0";
      if (entry.Value == 1.0) return "MSY";
      return FormatGeneral(entry.Value, mark) + "·MSY";
    case CatchOptionKind::CurrentCatch:
      return "Текущий улов";
    case CatchOptionKind::RuleTac:
      return "ОДУ правила";
  }
  return "";
}

void RequireCatch(double value, const char* what) {
  if (!(value >= 0.0) || !std::isfinite(value)) {
    throw Error(std::string(what) + " должен быть конечным неотрицательным числом");
  }
}

}  // namespace

std::vector<CatchOptionEntry> DefaultCatchOptionEntries() {
  std::vector<CatchOptionEntry> entries{{CatchOptionKind::Tonnes, 0.0}};
  for (double multiple : {0.25, 0.5, 0.75, 1.0, 1.25, 1.5}) {
    entries.push_back({CatchOptionKind::MsyMultiple, multiple});
  }
  entries.push_back({CatchOptionKind::CurrentCatch, 0.0});
  entries.push_back({CatchOptionKind::RuleTac, 0.0});
  return entries;
}

std::vector<CatchOptionEntry> ParseCatchOptions(std::string_view text, char mark) {
  std::vector<CatchOptionEntry> entries;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(";\n");
    const std::string_view item = Trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (item.empty()) continue;
    entries.push_back(ParseItem(item, ++number, mark));
  }
  if (entries.empty()) {
    throw Error("Список вариантов улова пуст: введите, например, «" + Example(mark) + "»");
  }
  if (entries.size() > kMaxCatchOptions) {
    throw Error("В списке " + CountWithNoun(entries.size(), "вариант", "варианта", "вариантов") +
                " улова, допускается не более " + std::to_string(kMaxCatchOptions));
  }
  return entries;
}

std::string CatchOptionsText(const std::vector<CatchOptionEntry>& entries, char mark) {
  std::string text;
  for (const CatchOptionEntry& entry : entries) {
    if (!text.empty()) text += "; ";
    switch (entry.Kind) {
      case CatchOptionKind::Tonnes:
        text += FormatGeneral(entry.Value, mark);
        break;
      case CatchOptionKind::MsyMultiple:
        text += entry.Value == 1.0 ? "MSY" : FormatGeneral(entry.Value, mark) + "*MSY";
        break;
      case CatchOptionKind::CurrentCatch:
        text += "текущий";
        break;
      case CatchOptionKind::RuleTac:
        text += "ОДУ";
        break;
    }
  }
  return text;
}

std::vector<CatchOption> ResolveCatchOptions(const std::vector<CatchOptionEntry>& entries,
                                             double msy, double currentCatch,
                                             std::optional<double> ruleTac, char mark) {
  RequireCatch(msy, "MSY точечной оценки");
  RequireCatch(currentCatch, "Текущий улов");
  if (ruleTac) RequireCatch(*ruleTac, "ОДУ правила");
  std::vector<CatchOption> options;
  for (const CatchOptionEntry& entry : entries) {
    CatchOption option{entry.Kind, entry.Value, Label(entry, mark)};
    if (entry.Kind == CatchOptionKind::MsyMultiple) option.Catch = entry.Value * msy;
    if (entry.Kind == CatchOptionKind::CurrentCatch) option.Catch = currentCatch;
    if (entry.Kind == CatchOptionKind::RuleTac) {
      if (!ruleTac) continue;
      option.Catch = *ruleTac;
    }
    if (!(option.Catch >= 0.0) || !std::isfinite(option.Catch)) {
      throw Error("Вариант улова «" + option.Label + "» слишком велик");
    }
    options.push_back(std::move(option));
  }
  if (options.empty()) throw Error("Не задано ни одного варианта улова");
  std::stable_sort(options.begin(), options.end(),
                   [](const CatchOption& a, const CatchOption& b) { return a.Catch < b.Catch; });
  return options;
}

std::string CatchText(double tonnes, char mark) {
  if (tonnes == 0.0) return "0";
  const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(tonnes))));
  return FormatGeneral(RoundDecimals(tonnes, std::max(0, 3 - magnitude)), mark);
}

}  // namespace tarvik::uncertainty
