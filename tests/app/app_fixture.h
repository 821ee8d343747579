#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "app/welcome_window.h"
#include "assessment/state.h"
#include "fake_services.h"

namespace tarvik::app::testing {

// A main window on the fake services, with R looked for in a folder of our
// own: one that holds an executable "R" or an empty one.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.isValid()); }
  void TearDown() override { window_.reset(); }

  // The folder where R is looked for, with or without an executable "R".
  std::string RFolder(bool withR) {
    const QString folder = temp_.filePath(withR ? "with-r" : "without-r");
    QDir().mkpath(folder);
    if (withR) {
      QFile r(folder + "/R");
      r.open(QIODevice::WriteOnly);
      r.write("#!/bin/sh\n");
      r.close();
      r.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folder.toStdString();
  }

  MainWindow& Create(bool withR = false) {
    window_ = std::make_unique<MainWindow>(ui_, std::vector<std::string>{RFolder(withR)});
    return *window_;
  }

  // Creates the window and clicks "Начать работу"; the R check has run.
  MainWindow& Started(bool withR = false) {
    Create(withR);
    QTest::mouseClick(window_->Welcome()->StartLabel(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ui_.boxes.clear();
    return *window_;
  }

  template <typename T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
  }
  QAction* Action(const char* name) const { return Find<QAction>(name); }

  // Waits until the window's background computation (if any) has ended and
  // its results are on screen; false on time-out.
  bool WaitIdle(int timeoutMs = 300000) {
    return QTest::qWaitFor([this] { return !window_->Background().Running(); }, timeoutMs);
  }

  QString TempPath(const QString& name) const { return temp_.filePath(name); }

  static std::string ReadBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  FakeServices ui_;
  std::unique_ptr<MainWindow> window_;
  QTemporaryDir temp_;
};

}  // namespace tarvik::app::testing
