#include "app/window/elided_path.h"

#include <algorithm>

QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const qsizetype slash = path.lastIndexOf('/');
  const QString name = path.mid(slash + 1);
  const int folderRoom = width - metrics.horizontalAdvance(name);
  // Room for at least an ellipsis and the slash before the name.
  if (slash >= 0 && folderRoom >= metrics.horizontalAdvance(QStringLiteral("\u2026/")))
    return metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, folderRoom) + name;
  return metrics.elidedText(name, Qt::ElideRight, std::max(width, 0));
}
