// Texts cross between code page 936 and Qt's Unicode strings here only.
#pragma once

#include <QString>

#include "core/cp936.h"
#include "core/text.h"

namespace tarnwick {

inline QString to_qstring(const Text& text) { return QString::fromStdString(cp936_to_utf8(text)); }

inline Text to_text(const QString& string) { return utf8_to_cp936(string.toStdString()); }

}  // namespace tarnwick
