#pragma once

#include <QLocale>
#include <QString>

namespace tarvik::app {

// The decimal mark of the user's locale as the single character the core
// takes. Locales whose mark is not a plain ASCII character fall back to '.'.
inline char DecimalMark() {
  const QString mark = QLocale().decimalPoint();
  if (mark.size() == 1 && mark.front().unicode() < 0x80) return static_cast<char>(mark.front().unicode());
  return '.';
}

inline QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }
inline std::string ToUtf8(const QString& text) { return text.toStdString(); }

}  // namespace tarvik::app
