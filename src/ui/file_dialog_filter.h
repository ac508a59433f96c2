// Filters written as "description|pattern|description|pattern…" turned into Qt name filters.
#pragma once

#include <QStringList>

#include "core/text.h"

namespace tarnwick {

// One name filter per complete description and pattern pair; several patterns of one pair are
// separated by ';'. A description without its pattern is dropped.
QStringList qt_name_filters(const Text& filter);

}  // namespace tarnwick
