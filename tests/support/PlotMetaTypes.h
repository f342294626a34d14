// The types the plot tests pass through QTest's data tables, declared once for the plot test program.
#pragma once

#include "analysis/Procedure.h"

#include <QMetaType>

#include <vector>

Q_DECLARE_METATYPE(std::vector<float>)
Q_DECLARE_METATYPE(brevant::HistogramRequest)
