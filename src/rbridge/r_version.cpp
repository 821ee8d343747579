#include "rbridge/r_version.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include "rbridge/qt_text.h"
#include "rbridge/r_runner.h"

namespace tarvik::rbridge {

std::string RVersion(const std::string& rDirectory) {
  if (rDirectory.empty() || rDirectory == kRNotFound) return {};
#ifdef _WIN32
  const QString program = FromUtf8(rDirectory) + QStringLiteral("R.exe");
#else
  const QString program = FromUtf8(rDirectory) + QStringLiteral("R");
#endif
  constexpr int kTimeLimitMs = 10000;
  QProcess r;
  r.start(program, {QStringLiteral("--version")});
  if (!r.waitForFinished(kTimeLimitMs)) {
    r.kill();
    r.waitForFinished();
    return {};
  }
  const QString output = QString::fromUtf8(r.readAllStandardOutput()).trimmed();
  return ToUtf8(output.section(QLatin1Char('\n'), 0, 0).trimmed());
}

}  // namespace tarvik::rbridge
