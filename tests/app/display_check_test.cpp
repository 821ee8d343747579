#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/display_check.h"

namespace tarvik::app::testing {
namespace {

TEST(DisplayCheck, AnyPlatformOrDisplayCountsAndNothingDoesNot) {
  EXPECT_FALSE(HasDisplay({}));
  EXPECT_TRUE(HasDisplay({"offscreen", "", ""}));
  EXPECT_TRUE(HasDisplay({"", ":0", ""}));
  EXPECT_TRUE(HasDisplay({"", "", "wayland-0"}));
}

TEST(DisplayCheck, PlatformArgumentWinsOverTheEnvironment) {
  // The test program runs with QT_QPA_PLATFORM=offscreen.
  const QString fromEnvironment = qEnvironmentVariable("QT_QPA_PLATFORM");
  EXPECT_EQ(CurrentDisplaySettings({"tarvik"}).Platform, fromEnvironment);
  EXPECT_EQ(CurrentDisplaySettings({"tarvik", "-platform", "vnc"}).Platform, "vnc");
  EXPECT_EQ(CurrentDisplaySettings({"tarvik", "--platform", "minimal"}).Platform, "minimal");
  // A trailing "-platform" without a name is Qt's business, not a platform.
  EXPECT_EQ(CurrentDisplaySettings({"tarvik", "-platform"}).Platform, fromEnvironment);
}

TEST(DisplayCheck, FailureMessageNamesWhatWasGivenAndQuotesQt) {
  const QString text = PlatformFailureMessage({"xcb", ":7", ""}, "Qt said this.\n");
  EXPECT_TRUE(text.startsWith("Tarvik — программа с окнами"));
  EXPECT_TRUE(text.contains("(платформа Qt xcb, DISPLAY=:7)"));
  EXPECT_TRUE(text.contains("(Qt platform xcb, DISPLAY=:7)"));
  EXPECT_TRUE(text.endsWith("\n\nQt said this.\n"));
}

// The built program, started as a user would start it.
struct Started {
  int ExitCode = -1;
  QString Errors;
};

Started StartProgram(const QProcessEnvironment& environment) {
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(TARVIK_APP), {});
  Started result;
  EXPECT_TRUE(program.waitForFinished(60000)) << "the program did not stop by itself";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "the program crashed";
  result.ExitCode = program.exitCode();
  result.Errors = QString::fromUtf8(program.readAllStandardError());
  return result;
}

QProcessEnvironment WithoutDisplay() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    environment.remove(QString::fromLatin1(name));
  return environment;
}

TEST(DisplayCheck, ProgramWithoutADisplaySaysSoAndExitsWithOne) {
  const Started started = StartProgram(WithoutDisplay());
  EXPECT_EQ(started.ExitCode, 1);
  EXPECT_EQ(started.Errors, NoDisplayMessage());
}

TEST(DisplayCheck, ProgramWithAnUnreachableDisplaySaysSoInsteadOfAborting) {
  const QString display = QStringLiteral(":65531");
  ASSERT_FALSE(QFileInfo::exists("/tmp/.X11-unix/X65531")) << "an X server runs on :65531";
  QProcessEnvironment environment = WithoutDisplay();
  environment.insert("DISPLAY", display);
  const Started started = StartProgram(environment);
  EXPECT_EQ(started.ExitCode, 1);
  EXPECT_TRUE(started.Errors.contains("открыть окно не удалось (DISPLAY=:65531)"))
      << started.Errors.toStdString();
  EXPECT_TRUE(started.Errors.contains("platform plugin")) << "Qt's own message is kept";
}

}  // namespace
}  // namespace tarvik::app::testing
