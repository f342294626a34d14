// What a window tells about its work beside the results: the status line (the data and output files, and
// the run whose results are on show, with the seeds that repeat it), the mark over results left from an
// earlier run when a later one failed to start, and Copy Results (Edit menu, the results' context menu,
// Ctrl+C), a tab-separated table that pastes into a spreadsheet.
#include "frame/AnalysisWindow.h"

#include "analysis/catalogue/DataLayout.h"
#include "engine/SeedsText.h"
#include "frame/Dialogs.h"
#include "frame/StatusLabel.h"

#include <algorithm>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

namespace brevant::frame {

namespace {

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

constexpr int kFileNameWidth = 260;  // pixels for a file's name at least; a longer one is cut in the middle

// A file's name as the status line shows it at most: a long name is shortened rather than widening the window,
// to a third of the window's width, so that a wide window shows it whole and a narrow one keeps the seeds.
QString ShortName(const QLabel* label, const QString& path) {
    const int room = std::max(kFileNameWidth, label->window()->width() / 3);
    return label->fontMetrics().elidedText(QFileInfo(path).fileName(), Qt::ElideMiddle, room);
}

// A file on the status line, its full path in the tooltip; the name gives way first when the line is narrow.
void ShowFile(StatusLabel* label, const QString& what, const QString& path, const QString& none,
              const QString& after = {}) {
    std::vector<StatusLabel::Part> parts{{what + QStringLiteral(": ")},
                                         {path.isEmpty() ? none : ShortName(label, path), true}};
    if (!after.isEmpty()) parts.push_back({after, true});
    label->SetParts(std::move(parts));
    label->setToolTip(path.isEmpty() ? QString() : Native(QFileInfo(path).absoluteFilePath()));
}

QString SeedsQText(const Seeds& s) { return QString::fromStdString(brevant::SeedsText(s)); }

// A spreadsheet cell: tabs and line breaks would split it.
QString Cell(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString TableRow(const QStringList& cells) {
    QStringList clean;
    for (const QString& cell : cells) clean << Cell(cell);
    return clean.join(QLatin1Char('\t'));
}

// Ctrl+C in a result box copies the box's selection, as anywhere else; with nothing selected it is left
// to the window, whose Copy Results takes it.
class CopyShortcutFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        auto* box = qobject_cast<QLineEdit*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (box == nullptr || !key->matches(QKeySequence::Copy) || box->hasSelectedText()) return false;
        event->ignore();
        return true;
    }
};

// The batch-tool command that repeats a run: same procedure, data, count, level, choices and seeds.
QString RepeatCommand(const QString& procedure, const RunRecord& run) {
    QStringList words{QStringLiteral("brevant-cli"), procedure,
                      QLatin1Char('"') + Native(QFileInfo(run.dataFile).absoluteFilePath()) + QLatin1Char('"'),
                      QStringLiteral("--resamples"), QString::number(run.resamples)};
    if (!run.level.isEmpty()) words << QStringLiteral("--confidence") << QString(run.level).remove(QStringLiteral(" %"));
    words << run.options << QStringLiteral("--seed") << SeedsQText(run.seeds);
    return words.join(QLatin1Char(' '));
}

// A table's chosen columns after its name on the status line: " (fast, slow)", " (time by speed)".
QString ChoiceText(const ColumnChoice& choice) {
    QStringList names;
    for (const std::string& column : choice.columns) names << QString::fromStdString(column);
    QString text = names.join(QStringLiteral(", "));
    if (choice.group) text += QStringLiteral(" by ") + QString::fromStdString(*choice.group);
    return QStringLiteral(" (") + text + QLatin1Char(')');
}

const QString kStaleText = QStringLiteral(
    "The results shown are those of the earlier run (see the status line): the last run did not start.");

}  // namespace

// Each part of the line shortens its file names, then its other words, before it would hide the seeds; the
// run's part takes the room left.
void AnalysisWindow::BuildStatusLine() {
    QStatusBar* line = statusBar();
    line->setObjectName(QStringLiteral("StatusLine"));
    line->setSizeGripEnabled(true);
    dataStatus_ = new StatusLabel(QStringLiteral("lblDataFile"), line);
    outputStatus_ = new StatusLabel(QStringLiteral("lblOutputFile"), line);
    runStatus_ = new StatusLabel(QStringLiteral("lblRunInfo"), line);
    line->addWidget(dataStatus_);
    line->addWidget(outputStatus_);
    line->addWidget(runStatus_, 1);
    ShowFileStatus();
    ShowRunStatus();
}

void AnalysisWindow::BuildEditMenu() {
    auto* edit = new QMenu(QStringLiteral("&Edit"), this);
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setObjectName(QStringLiteral("mnuEdit"));
    edit->menuAction()->setProperty(kAddedEntryProperty, true);
    copyResults_ = edit->addAction(QStringLiteral("Copy Results"));
    copyResults_->setObjectName(QStringLiteral("mnuCopyResults"));
    copyResults_->setShortcut(QKeySequence::Copy);
    copyResults_->setShortcutContext(Qt::WindowShortcut);
    copyResults_->setEnabled(false);  // until there are results
    connect(copyResults_, &QAction::triggered, this, &AnalysisWindow::CopyResults);
    edit->addSeparator();
    seedsAction_ = edit->addAction(QStringLiteral("Seeds..."));
    seedsAction_->setObjectName(QStringLiteral("mnuSeeds"));
    connect(seedsAction_, &QAction::triggered, this, &AnalysisWindow::mnuSeeds_Click);
    // A right click anywhere in the results offers it too (the boxes add it to their own menus).
    QWidget* results = resultLayout_->parentWidget();
    results->addAction(copyResults_);
    results->setContextMenuPolicy(Qt::ActionsContextMenu);
    // Beside the window's own menus, after the first (File), where an Edit menu is looked for.
    const QList<QAction*> menus = menuBar()->actions();
    if (menus.size() > 1) {
        menuBar()->insertMenu(menus.at(1), edit);
    } else {
        menuBar()->addMenu(edit);
    }
}

// The box's own menu (Copy, Select All) with Copy Results below it.
void AnalysisWindow::OfferCopyOn(QLineEdit* box) {
    static QPointer<CopyShortcutFilter> filter;  // one for all boxes, gone with the application
    if (filter.isNull()) filter = new CopyShortcutFilter(QCoreApplication::instance());
    box->installEventFilter(filter);
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint& at) {
        QMenu* menu = box->createStandardContextMenu();
        menu->addSeparator();
        menu->addAction(copyResults_);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(box->mapToGlobal(at));
    });
}

// Before a data file is chosen the line says what the file must hold (analysis/catalogue/DataLayout.h).
void AnalysisWindow::ShowFileStatus() {
    if (dataStatus_ == nullptr) return;
    if (dataFileChosen_) {
        const std::optional<ColumnChoice>& columns = Stored().columns;
        ShowFile(dataStatus_, QStringLiteral("Data file"), Stored().dataFile, {},
                 columns ? ChoiceText(*columns) : QString());
    } else {
        const std::string_view layout = DataLayout(row_.name.toStdString());
        const QString expected = QString::fromUtf8(layout.data(), static_cast<qsizetype>(layout.size()));
        dataStatus_->SetParts({{QStringLiteral("No data file yet")},
                               {QStringLiteral(": a file of ") + expected + QStringLiteral(", or a table"), true}});
        dataStatus_->setToolTip(QStringLiteral("Open the data file from the File menu: counts first, %1, separated "
                                               "by blanks, commas or line breaks; or a table whose first line names "
                                               "its columns, to choose them from. The description shows an example.")
                                    .arg(expected));
    }
    const bool unused = !WritesOutputFile() && !Stored().outputFile.isEmpty();
    ShowFile(outputStatus_, QStringLiteral("Output file"), Stored().outputFile, QStringLiteral("none"),
             unused ? QStringLiteral(" (not written by this window)") : QString());
}

void AnalysisWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ShowFileStatus();  // the file names take the room the new width gives them
    ShowRunStatus();
}

void AnalysisWindow::ShowRunStatus() {
    if (runStatus_ == nullptr) return;
    if (!shown_) {
        runStatus_->SetParts({});
        runStatus_->setToolTip(QString());
        return;
    }
    const RunRecord& run = *shown_;
    const QString opening = starting_     ? QStringLiteral("Running...")
                            : stale_      ? QStringLiteral("Earlier run")
                            : run.stopped ? QStringLiteral("Stopped run")
                                          : QStringLiteral("Last run");
    std::vector<StatusLabel::Part> parts{{opening}};
    // The data file, and a table's columns, are named when they are not those on the line before: the
    // results then belong to other data. The file name gives way first.
    const std::optional<ColumnChoice>& chosen = Stored().columns;
    const bool otherColumns = !run.choice.isEmpty() && run.choice != (chosen ? ChoiceText(*chosen) : QString());
    if (!dataFileChosen_ || QFileInfo(Stored().dataFile) != QFileInfo(run.dataFile) || otherColumns) {
        parts.insert(parts.end(), {{QStringLiteral(" on ")}, {ShortName(runStatus_, run.dataFile), true}});
        if (!run.choice.isEmpty()) parts.push_back({run.choice, true});
    }
    const QString dot = QStringLiteral(" \u00B7 ");
    QString counts = dot + QLocale().toString(run.resamples) + QStringLiteral(" resamples");
    if (!run.level.isEmpty()) counts += dot + run.level;
    parts.push_back({counts, true});
    // The seeds always show: they are what repeats the run.
    parts.push_back({dot + QStringLiteral("seeds ") + SeedsQText(run.seeds)});
    runStatus_->SetParts(std::move(parts));
    const QString columns = run.columns.isEmpty() ? QString() : QStringLiteral("Columns read: %1\n").arg(run.columns);
    runStatus_->setToolTip(columns +
                           QStringLiteral("The resamples started from the seeds %1; this command repeats the run:\n")
                               .arg(SeedsQText(run.seeds)) +
                           RepeatCommand(row_.name, run));
}

void AnalysisWindow::BeginRunRecord(const RunRequest& request) {
    RunRecord record;
    record.dataFile = request.dataFile;
    record.resamples = request.settings.resamples;
    if (row_.option2Acts) {
        for (int i = 0; i < 3; ++i)
            if (kQuantileValues[i] == request.settings.confidence) record.level = kQuantileCaptions[i];
    }
    record.options = BatchToolOptions() + runColumnOptions_;
    record.columns = runColumns_;
    if (Stored().columns) record.choice = ChoiceText(*Stored().columns);
    record.choices = ChoiceSettings();
    record.outputFile = QFile::decodeName(request.settings.outputPath.c_str());
    record.seeds = GetSeeds();  // runs are one at a time: nothing draws between here and the resamples
    starting_ = record;
    // The boxes now show this run's observed figures.
    shown_ = record;
    stale_ = false;
    staleMark_->hide();
    resultLayout_->parentWidget()->setStyleSheet(QString());
    copyResults_->setEnabled(true);
    ShowRunStatus();
}

void AnalysisWindow::EndRunRecord(bool stopped) {
    if (!starting_) return;
    shown_ = *starting_;
    shown_->stopped = stopped;
    starting_.reset();
    ShowRunStatus();
}

// A run that failed before it started leaves the last results on screen; they must not pass for its own.
void AnalysisWindow::MarkResultsStale() {
    if (!shown_) return;
    stale_ = true;
    staleMark_->setText(kStaleText);
    staleMark_->show();
    resultLayout_->parentWidget()->setStyleSheet(QStringLiteral("QLineEdit { color: #808080; }"));
    ShowRunStatus();
}

bool AnalysisWindow::ConfirmOutputFile(const QString& name) {
    if (!WritesOutputFile() || !QFileInfo::exists(name) || QFileInfo(name).isDir()) return true;
    return AskYesNo(this, QStringLiteral("%1 exists. Each run will replace its contents with the resampled "
                                         "values. Use it as the output file?")
                              .arg(Native(name)));
}

QString AnalysisWindow::ResultsTable() const {
    if (!shown_) return {};
    const RunRecord& run = *shown_;
    QStringList rows;
    rows << TableRow({QStringLiteral("Procedure"), row_.caption, row_.name});
    rows << TableRow({QStringLiteral("Data file"), Native(QFileInfo(run.dataFile).absoluteFilePath())});
    if (!run.columns.isEmpty()) rows << TableRow({QStringLiteral("Columns"), run.columns});
    rows << TableRow({QStringLiteral("Output file"), run.outputFile.isEmpty()
                                                         ? QStringLiteral("none")
                                                         : Native(QFileInfo(run.outputFile).absoluteFilePath())});
    rows << TableRow({QStringLiteral("Resamples"), QString::number(run.resamples)});
    if (!run.level.isEmpty()) rows << TableRow({QStringLiteral("Level"), run.level});
    for (const auto& [choice, value] : run.choices) rows << TableRow({choice, value});
    // Three cells: "1,234,567" in one would read as a number in a spreadsheet.
    rows << TableRow({QStringLiteral("Seeds"), QString::number(run.seeds.a), QString::number(run.seeds.b),
                 QString::number(run.seeds.c)});
    for (int r = 0; r < resultRows_; ++r) {
        const QLayoutItem* labelItem = resultLayout_->itemAtPosition(r, 0);
        const QLayoutItem* boxItem = resultLayout_->itemAtPosition(r, 1);
        auto* label = labelItem != nullptr ? qobject_cast<QLabel*>(labelItem->widget()) : nullptr;
        auto* box = boxItem != nullptr ? qobject_cast<QLineEdit*>(boxItem->widget()) : nullptr;
        if (label == nullptr || box == nullptr) continue;  // a row holding some other widget
        QStringList cells{label->text(), box->text()};
        if (const QLayoutItem* second = resultLayout_->itemAtPosition(r, 2)) {
            if (auto* box2 = qobject_cast<QLineEdit*>(second->widget())) cells << box2->text();
        }
        rows << TableRow(cells);
    }
    if (stale_) rows << TableRow({QStringLiteral("Note"), kStaleText});
    if (!notes_->text().isEmpty()) {
        for (const QString& note : notes_->text().split(QLatin1Char('\n'))) rows << TableRow({QStringLiteral("Note"), note});
    }
    return rows.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void AnalysisWindow::CopyResults() {
    const QString table = ResultsTable();
    if (table.isEmpty()) {
        ShowMessage(this, QStringLiteral("There are no results to copy yet: run the analysis first."));
        return;
    }
    QGuiApplication::clipboard()->setText(table);
    statusBar()->showMessage(QStringLiteral("Results copied to the clipboard."), 4000);
}

}  // namespace brevant::frame
