#pragma once
// The application object: an exception that escapes an event handler is
// shown in the standard exception box and the event loop goes on; any other
// exception ends the loop and is handed to the top of the process.
#include <QApplication>
#include <exception>

class CorvaneApplication : public QApplication {
 public:
  CorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}
  bool notify(QObject* receiver, QEvent* event) override;

  // The exception that ended the event loop, if any; rethrown by main.
  std::exception_ptr EscapedException() const { return escaped_; }

 private:
  std::exception_ptr escaped_;
};

// The standard exception box: the exception's text, captioned with the
// application's title.
void ShowExceptionBox(const QString& text);
