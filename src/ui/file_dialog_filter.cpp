#include "ui/file_dialog_filter.h"

#include "ui/qt_text.h"

namespace tarnwick {

QStringList qt_name_filters(const Text& filter) {
  const QStringList parts = to_qstring(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) pattern = pattern.trimmed();
    patterns.removeAll(QString());
    if (patterns.isEmpty()) continue;
    filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

}  // namespace tarnwick
