#include "frame/RunDriver.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <exception>
#include <new>
#include <optional>
#include <thread>

namespace brevant::frame {

bool RunGate::TryEnter(const QString& holder) {
    if (busy_) return false;
    busy_ = true;
    holder_ = holder;
    emit busyChanged(true);
    return true;
}

void RunGate::Leave() {
    if (!busy_) return;
    busy_ = false;
    holder_.clear();
    emit busyChanged(false);
}

RunGate& TheRunGate() {
    static RunGate gate;
    return gate;
}

// What the worker and the window's thread share. The worker writes result or error, then sets done
// (release); the window's thread reads them only after seeing done (acquire) and joining.
struct RunDriver::Run {
    RunControl control;
    std::optional<RunResult> result;
    std::exception_ptr error;
    std::atomic<bool> done{false};
    std::thread worker;
};

RunDriver::RunDriver(Callbacks callbacks, QObject* parent) : QObject(parent), callbacks_(std::move(callbacks)) {
    timer_ = new QTimer(this);
    timer_->setInterval(kPollMilliseconds);
    connect(timer_, &QTimer::timeout, this, &RunDriver::Poll);
    // A program that ends with the window still loaded must not leave the worker drawing from the generator
    // while the statics go away.
    if (QCoreApplication::instance() != nullptr)
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &RunDriver::Cancel);
}

RunDriver::~RunDriver() { Cancel(); }

bool RunDriver::Start(ResampleWork work, const QString& holder) {
    if (run_ != nullptr || !TheRunGate().TryEnter(holder)) return false;
    run_ = std::make_unique<Run>();
    Run* run = run_.get();
    run->worker = std::thread([run, work = std::move(work)] {
        try {
            run->result.emplace(work(TheGenerator(), run->control));
        } catch (...) {
            run->error = std::current_exception();
        }
        run->done.store(true, std::memory_order_release);
    });
    timer_->start();
    return true;
}

void RunDriver::Cancel() {
    if (run_ == nullptr) return;
    run_->control.RequestCancel();
    End();
}

// Stops the timer, waits for the worker and opens the gate; run_ is gone afterwards.
void RunDriver::End() {
    timer_->stop();
    if (run_->worker.joinable()) run_->worker.join();
    run_.reset();
    TheRunGate().Leave();
}

void RunDriver::Poll() {
    if (run_ == nullptr) return;
    // Read before the counters, so that a finished run shows its final counts.
    const bool done = run_->done.load(std::memory_order_acquire);
    if (callbacks_.progress) callbacks_.progress(run_->control);
    if (!done) return;

    const std::unique_ptr<Run> run = std::move(run_);
    timer_->stop();
    run->worker.join();
    TheRunGate().Leave();
    if (run->result.has_value()) {
        if (callbacks_.finished) callbacks_.finished(std::move(*run->result));
        return;
    }
    QString message;
    try {
        std::rethrow_exception(run->error);
    } catch (const RunCancelled&) {
        return;  // only a Cancel() asks for this, and it wants no callback
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("There is not enough memory for this run. Choose fewer resamples or a smaller "
                                 "data file.");
    } catch (const std::exception& e) {
        message = QString::fromStdString(e.what());
    } catch (...) {
        message = QStringLiteral("The run stopped because of an unexpected error.");
    }
    if (callbacks_.failed) callbacks_.failed(message);
}

}  // namespace brevant::frame
