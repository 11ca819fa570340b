#pragma once
// A file path shortened to a width: the folder part loses its middle, the
// file name stays whole as long as it fits at all.
#include <QFontMetrics>
#include <QString>

QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width);
