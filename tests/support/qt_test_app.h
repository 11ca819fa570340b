#pragma once
// The one QApplication of a widget test program, made on first use, on the
// offscreen platform unless the environment names another.
#include <QApplication>
#include <QByteArray>

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "corvane-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}
