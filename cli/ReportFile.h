// The batch tool's --report: the run's page (plot/Report.h), the same page an analysis window saves,
// drawn by the histogram module so the tool itself loads no Qt.
#pragma once

#include "analysis/ColumnRoles.h"
#include "analysis/Procedure.h"
#include "cli/BatchTool.h"

#include <string>

namespace brevant::cli {

// Writes the report of a finished run; result.resampled must not have been shifted by a histogram yet.
// table and layout: the columns read when the data file was a table, else null. Throws OutputFileError
// naming the report file.
void SaveReportFile(const std::string& path, const Options& options, Seeds seeds, const RunResult& result,
                    const Table* table, const TableLayout* layout);

}  // namespace brevant::cli
