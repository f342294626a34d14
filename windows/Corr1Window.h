// The Corr1 window ("Correlation via randomization"): the permutation test of a correlation on the frame.
// It writes no output file: a name chosen with "Open Output File" is kept, and a run says it was not used.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class Corr1 : public AnalysisWindow {
    Q_OBJECT

public:
    explicit Corr1(const WindowRow& row, QWidget* parent = nullptr);

protected:
    void RunProcedure(const RunRequest& request) override;

private:
    QString unusedOutput_;  // the output file named for the run in progress, which it does not write
};

}  // namespace brevant::frame
