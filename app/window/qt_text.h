#pragma once

#include <QString>
#include <string>

// The engine's UTF-8 strings to Qt's and back, short for use in widget code.
inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }
