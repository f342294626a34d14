// Runs a procedure's resamples off the window's thread, one run at a time in the whole program.
//
// The engine's generator is one stream, so at most one run may be in progress anywhere: RunGate says
// whether one is, and every analysis window follows it to enable or disable its Run button. A run is split
// in two: the window reads and checks the data on its own thread (PrepareRun), which gives back the
// resample work (ResampleWork, analysis/catalogue/ProcedureCatalogue.h) and the boxes already known, to show while it runs; RunDriver executes that work on a worker thread with TheGenerator() and a
// RunControl, and a timer on the window's thread polls the control's counters for the progress bars and
// hands the result back once the worker has ended. The worker never touches a widget, so a window that is
// closed or destroyed mid-run only has to cancel and wait for it (RunDriver's destructor does).
#pragma once

#include "analysis/Procedure.h"
#include "analysis/catalogue/ProcedureCatalogue.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace brevant::frame {

// Reads and checks a run's data on the window's thread; throws DataFileError or SettingsError with a
// message for the user, or returns the prepared run.
using PrepareRun = std::function<PreparedRun(DataFile& file, const RunSettings& settings)>;

// Whether a run is in progress anywhere in the program, and whose; busyChanged follows it.
class RunGate : public QObject {
    Q_OBJECT

public:
    bool Busy() const { return busy_; }
    // What the run in progress was started for (its window's caption); empty when none.
    const QString& Holder() const { return holder_; }

signals:
    void busyChanged(bool busy);

private:
    friend class RunDriver;
    bool TryEnter(const QString& holder);
    void Leave();
    bool busy_ = false;
    QString holder_;
};
RunGate& TheRunGate();

// Drives one run at a time for one window.
class RunDriver : public QObject {
    Q_OBJECT

public:
    struct Callbacks {
        // Every poll (about every 50 ms) and once more at the end: the counters of the run.
        std::function<void(const RunControl& control)> progress;
        // The run ended normally: its result, on the window's thread.
        std::function<void(RunResult&& result)> finished;
        // The run failed (not cancelled): a message for the user.
        std::function<void(const QString& message)> failed;
    };

    explicit RunDriver(Callbacks callbacks, QObject* parent = nullptr);
    ~RunDriver() override;  // cancels a run in progress and waits for its worker

    // Starts the work on a worker thread with TheGenerator(), for holder (RunGate::Holder). False, and
    // nothing started, when a run is already in progress somewhere in the program.
    bool Start(ResampleWork work, const QString& holder = {});
    // Asks a run in progress to stop and waits for its worker to end; no callback is made for it. The
    // generator keeps the draws made so far.
    void Cancel();
    bool Running() const { return run_ != nullptr; }

    static constexpr int kPollMilliseconds = 50;

private:
    struct Run;
    void Poll();
    void End();

    Callbacks callbacks_;
    QTimer* timer_ = nullptr;
    std::unique_ptr<Run> run_;
};

}  // namespace brevant::frame
