#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace tarvik::rbridge {

// Conversions between the UTF-8 strings of the program and Qt's strings.
inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

}  // namespace tarvik::rbridge
