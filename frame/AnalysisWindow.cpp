#include "frame/AnalysisWindow.h"

#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/Shell.h"
#include "engine/OutputFile.h"

#include <QAction>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace brevant::frame {

namespace {

constexpr int kResultBoxWidth = 110;
constexpr int kDescriptionHeight = 170;

QString ArrayName(const QString& name, int index) { return name + QLatin1Char('_') + QString::number(index); }

// A control's objectName from its documented name: element i of an array, "Label2(0)", is "Label2_0".
QString ControlName(std::string_view documented) {
    QString name = QString::fromUtf8(documented.data(), static_cast<qsizetype>(documented.size()));
    const qsizetype open = name.indexOf(QLatin1Char('('));
    if (open < 0 || !name.endsWith(QLatin1Char(')'))) return name;
    return ArrayName(name.left(open), name.mid(open + 1, name.size() - open - 2).toInt());
}

QLabel* MakeLabel(const QString& name, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* MakeResultBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFixedWidth(kResultBoxWidth);
    return box;
}

}  // namespace

StoredValues& StoredValuesOf(const QString& windowName) {
    static std::map<QString, StoredValues> store;
    return store[windowName];
}

AnalysisWindow::AnalysisWindow(const WindowRow& row, QWidget* parent) : QMainWindow(parent), row_(row) {
    setObjectName(row_.name);
    setWindowTitle(row_.caption);
    setAttribute(Qt::WA_DeleteOnClose);  // unloading discards the controls; StoredValues outlive them
    BuildMenus();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    top->addWidget(BuildOptions(), 0, Qt::AlignTop);
    auto* results = new QWidget(central);
    results->setObjectName(QStringLiteral("ResultArea"));
    resultLayout_ = new QGridLayout(results);
    resultLayout_->setContentsMargins(12, 4, 12, 4);
    resultLayout_->setVerticalSpacing(8);
    resultLayout_->setColumnStretch(2, 1);
    resultLayout_->setRowStretch(0, 1);  // rows are added above a final stretch (see NextResultRow)
    top->addWidget(results);
    histogram_ = new HistogramBox(central);
    top->addWidget(histogram_, 1);  // the picture takes the room the window is given
    AddPictureEntries();
    layout->addLayout(top, 1);

    layout->addWidget(BuildProgressRows());

    staleMark_ = MakeLabel(QStringLiteral("lblStale"), QString(), central);
    staleMark_->setWordWrap(true);
    staleMark_->setStyleSheet(QStringLiteral("QLabel { color: #8a4b00; font-weight: bold; }"));
    staleMark_->hide();  // shown over results left from an earlier run
    layout->addWidget(staleMark_);

    notes_ = MakeLabel(QStringLiteral("lblNotes"), QString(), central);
    notes_->setWordWrap(true);
    notes_->hide();  // shown when a run has something to say
    layout->addWidget(notes_);

    txtFile_ = new QPlainTextEdit(central);
    txtFile_->setObjectName(QStringLiteral("txtFile"));
    txtFile_->setReadOnly(true);
    txtFile_->setFixedHeight(kDescriptionHeight);
    txtFile_->hide();
    layout->addWidget(txtFile_);

    layout->addWidget(BuildButtons());
    setCentralWidget(central);
    BuildEditMenu();  // after the result area, whose context menu offers Copy Results
    BuildColumnsEntry();
    AddDescriptionEntry();
    BuildStatusLine();

    driver_ = new RunDriver({[this](const RunControl& control) { ShowRunProgress(control); },
                             [this](RunResult&& result) { FinishRun(std::move(result)); },
                             [this](const QString& message) { FailRun(message); }},
                            this);
    // One run at a time in the whole program: every Run button follows the gate.
    FollowRunGate(TheRunGate().Busy());
    connect(&TheRunGate(), &RunGate::busyChanged, this, &AnalysisWindow::FollowRunGate);

    RegisterLoadedWindow(this);
}

AnalysisWindow::~AnalysisWindow() = default;

StoredValues& AnalysisWindow::Stored() const { return StoredValuesOf(row_.name); }

void AnalysisWindow::BuildMenus() {
    for (const Menu& menu : row_.menus) {
        QMenu* qmenu = menuBar()->addMenu(menu.caption);
        qmenu->setObjectName(menu.name);
        qmenu->menuAction()->setObjectName(menu.name);
        for (const MenuEntry& entry : menu.entries) {
            QAction* action = qmenu->addAction(entry.caption);
            action->setObjectName(entry.name);
            // The row lives as long as the program (WindowTable), so the entry may be kept by reference.
            connect(action, &QAction::triggered, this, [this, &entry] { RunEntry(entry); });
        }
    }
}

void AnalysisWindow::AddPictureEntries() {
    const QList<QAction*> menus = menuBar()->actions();
    QMenu* file = menus.isEmpty() ? nullptr : menus.constFirst()->menu();
    if (file == nullptr) return;  // every window has a File menu first; the box's context menu serves anyway
    file->addSeparator()->setProperty(kAddedEntryProperty, true);
    saveReport_ = new QAction(QStringLiteral("Save Report..."), this);
    saveReport_->setObjectName(QStringLiteral("mnuSaveReport"));
    saveReport_->setEnabled(false);  // until a run's results are on show
    connect(saveReport_, &QAction::triggered, this, &AnalysisWindow::SaveReport);
    for (QAction* action : {histogram_->SaveAction(), histogram_->PlotAction(), saveReport_}) {
        action->setProperty(kAddedEntryProperty, true);
        file->addAction(action);
    }
}

QWidget* AnalysisWindow::BuildOptions() {
    auto* column = new QWidget(this);
    optionsLayout_ = new QVBoxLayout(column);
    optionsLayout_->setContentsMargins(0, 0, 0, 0);

    auto* frame1 = new QGroupBox(row_.frame1Caption, column);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* frame1Layout = new QVBoxLayout(frame1);
    option1_ = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        const QString caption = i < 4 ? kCountCaptions[i] : row_.fifthCountCaption;
        auto* button = new QRadioButton(caption, frame1);
        button->setObjectName(ArrayName(QStringLiteral("Option1"), i));
        option1_->addButton(button, i);
        frame1Layout->addWidget(button);
    }
    option1_->button(0)->setChecked(true);  // selected at opening; raises no click
    connect(option1_, &QButtonGroup::idClicked, this, &AnalysisWindow::Option1_Click);
    optionsLayout_->addWidget(frame1);

    if (row_.hasOption2) {
        auto* frame2 = new QGroupBox(row_.frame2Caption, column);
        frame2->setObjectName(QStringLiteral("Frame2"));
        auto* frame2Layout = new QVBoxLayout(frame2);
        option2_ = new QButtonGroup(this);
        for (int i = 0; i < 3; ++i) {
            auto* button = new QRadioButton(kQuantileCaptions[i], frame2);
            button->setObjectName(ArrayName(QStringLiteral("Option2"), i));
            option2_->addButton(button, i);
            frame2Layout->addWidget(button);
        }
        option2_->button(1)->setChecked(true);
        connect(option2_, &QButtonGroup::idClicked, this, &AnalysisWindow::Option2_Click);
        optionsLayout_->addWidget(frame2);
    }
    column->setMinimumWidth(130);
    return column;
}

QWidget* AnalysisWindow::BuildProgressRows() {
    auto* rows = new QWidget(this);
    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnMinimumWidth(0, 80);
    grid->setColumnStretch(1, 1);
    auto addRow = [&](int at, const Caption& label, const QString& barName) {
        if (!label.name.isEmpty()) grid->addWidget(MakeLabel(label.name, label.text, rows), at, 0);
        auto* bar = new QProgressBar(rows);
        bar->setObjectName(barName);
        QSizePolicy policy = bar->sizePolicy();
        policy.setRetainSizeWhenHidden(true);  // the rows keep their place while the bars are hidden
        bar->setSizePolicy(policy);
        bar->hide();
        grid->addWidget(bar, at, 1);
        return bar;
    };
    progress1_ = addRow(0, row_.progress1Label, QStringLiteral("ProgressBar1"));
    if (row_.hasProgressBar2) progress2_ = addRow(1, row_.progress2Label, QStringLiteral("ProgressBar2"));
    return rows;
}

QWidget* AnalysisWindow::BuildButtons() {
    auto* bar = new QWidget(this);
    auto* buttons = new QHBoxLayout(bar);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    auto add = [&](const Button& spec, void (AnalysisWindow::*slot)()) {
        auto* button = new QPushButton(spec.caption, bar);
        button->setObjectName(spec.name);
        button->setMinimumWidth(96);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
        return button;
    };
    runButton_ = add(row_.run, &AnalysisWindow::cmdRun_Click);
    add(row_.mainMenu, &AnalysisWindow::cmdMainMenu_Click);
    add(row_.quit, &AnalysisWindow::Quit_Click);  // PairedCorr's "Exit" too: it quits like the others
    return bar;
}

void AnalysisWindow::RunHandler(Handler handler) {
    switch (handler) {
        case Handler::None: return;
        case Handler::OpenDataFile: mnuOpenFile_Click(); return;
        case Handler::OpenOutputFile: mnuOpenOut_Click(); return;
        case Handler::NewDataFile: mnuNewFile_Click(); return;
        case Handler::About: mnuAbout_Click(); return;
        case Handler::Description: mnuDescript_Click(); return;
        case Handler::ReturnToMain: cmdMainMenu_Click(); return;
        case Handler::QuitAll: Quit_Click(); return;
        case Handler::EndAtOnce: mnuExitItem_Click(); return;
    }
}

QRadioButton* AnalysisWindow::CountButton(int index) const {
    return qobject_cast<QRadioButton*>(option1_->button(index));
}

QRadioButton* AnalysisWindow::ConfidenceButton(int index) const {
    return option2_ == nullptr ? nullptr : qobject_cast<QRadioButton*>(option2_->button(index));
}

void AnalysisWindow::Option1_Click(int index) {
    if (index >= 0 && index < 4) Stored().resampleCount = kCountValues[index];
    else if (index == 4) Stored().resampleCount = row_.fifthCount;
}

void AnalysisWindow::Option2_Click(int index) {
    if (!row_.option2Acts) return;
    if (index >= 0 && index < 3) Stored().quantile = kQuantileValues[index];
}

void AnalysisWindow::mnuOpenFile_Click() {
    const QString name =
        ShowFileDialog(this, {FileDialogKind::Open, kOpenDataFileTitle, row_.dataFilter + kTableFilterEntry});
    if (name.isEmpty()) return;  // cancelled: the stored name stays
    UseDataFile(name);
}

bool AnalysisWindow::UseDataFile(const QString& name) {
    // The dialog accepts typed names; a file that cannot be read is refused now rather than at the run.
    QFile file(name);
    if (QFileInfo(name).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo(name).isDir() ? QStringLiteral("it is a folder") : file.errorString();
        ShowMessage(this, QStringLiteral("The data file %1 cannot be opened: %2.")
                              .arg(QDir::toNativeSeparators(name), reason));
        return false;
    }
    file.close();
    if (!ChooseTableColumns(name)) return false;
    StoredValues& stored = Stored();
    // An output file was agreed to for the data it was chosen with: another data file's run must not
    // quietly replace it (a copy of an example, say). The same data file keeps it.
    const bool otherData = !stored.dataFile.isEmpty() && QFileInfo(stored.dataFile) != QFileInfo(name);
    const QString forgotten = otherData ? stored.outputFile : QString();
    if (otherData) stored.outputFile.clear();
    stored.dataFile = name;
    dataFileChosen_ = true;
    ShowFileStatus();
    ShowRunStatus();  // names the last run's data file once it differs
    if (!forgotten.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("A new data file: the output file %1 is no longer used. Choose an "
                                                "output file again to keep this file's resampled values.")
                                     .arg(QFileInfo(forgotten).fileName()),
                                 10000);
    }
    return true;
}

// The dialog is an open-file dialog: picking an existing file (a data file, say) must not quietly give it
// up to the next run's resampled values.
void AnalysisWindow::mnuOpenOut_Click() {
    const QString name = ShowFileDialog(this, {FileDialogKind::Open, kChooseOutputFileTitle, kOutputFilter, true});
    if (name.isEmpty() || !ConfirmOutputFile(name)) return;  // No keeps the earlier choice
    Stored().outputFile = name;  // nothing is written until a run
    ShowFileStatus();
}

void AnalysisWindow::mnuNewFile_Click() { ShowDataEditor(); }

void AnalysisWindow::mnuAbout_Click() {
    if (!row_.aboutText.isEmpty()) ShowMessage(this, row_.aboutText);
}

void AnalysisWindow::setVisible(bool visible) {
    if (visible && !testAttribute(Qt::WA_Resized)) resize(sizeHint());
    QMainWindow::setVisible(visible);
}

void AnalysisWindow::cmdRun_Click() {
    if (TheRunGate().Busy()) {  // the Run buttons are disabled meanwhile; this catches any other way in
        ShowMessage(this, kRunInProgressMessage);
        return;
    }
    if (row_.hideDescriptionFirst) txtFile_->hide();
    if (!dataFileChosen_) {
        ShowMessage(this, kNoDataFileMessage);
        return;
    }
    txtFile_->hide();
    StoredValues& stored = Stored();
    // The selection present at opening raised no click, so the run applies it itself.
    if (CountButton(0)->isChecked()) stored.resampleCount = kCountValues[0];
    QRadioButton* ninetyFive = ConfidenceButton(1);
    if (row_.option2Acts && ninetyFive != nullptr && ninetyFive->isChecked()) stored.quantile = kQuantileValues[1];
    RunRequest request;
    request.settings.resamples = stored.resampleCount;
    if (stored.quantile > 0.0f) request.settings.confidence = stored.quantile;  // else unused by the window
    request.settings.outputPath = QFile::encodeName(stored.outputFile).toStdString();
    request.dataFile = stored.dataFile;
    if (OutputFileRefused(request)) {
        MarkResultsStale();
        return;
    }
    RunProcedure(request);
}

// The output file is only written at the end of a run, so everything that can be checked is checked now,
// with the batch tool's own check and message: not the data file (a hard link of it included), a folder
// that exists and may be written, a file this user may write.
bool AnalysisWindow::OutputFileRefused(const RunRequest& request) {
    try {
        CheckOutputFile(request.settings.outputPath, QFile::encodeName(request.dataFile).toStdString());
    } catch (const OutputFileError& e) {
        ShowMessage(this, QString::fromStdString(e.what()));
        return true;
    }
    return false;
}

void AnalysisWindow::RunProcedure(const RunRequest& request) {
    if (prepare_) {
        StartRun(request);
        return;
    }
    ShowMessage(this, QStringLiteral("The procedure of this window (%1) is not available in this build.")
                          .arg(row_.caption));
}

void AnalysisWindow::ShowBar(QProgressBar* bar, std::int32_t value, std::int32_t maximum) {
    if (bar == nullptr) return;
    bar->setRange(1, std::max(1, maximum));
    bar->setValue(value);
    bar->setFormat(QStringLiteral("%v / ") + QString::number(maximum));  // "%m" would be the span, max - min
    bar->setVisible(true);
}

void AnalysisWindow::ShowProgress1(std::int32_t value, std::int32_t maximum) { ShowBar(progress1_, value, maximum); }
void AnalysisWindow::ShowProgress2(std::int32_t value, std::int32_t maximum) { ShowBar(progress2_, value, maximum); }

SortProgress AnalysisWindow::SortProgressOnBar2() {
    return [this](std::int32_t done, std::int32_t n) { ShowProgress2(done, n); };
}

// Rows go above a stretch row that keeps them packed at the top.
int AnalysisWindow::NextResultRow() {
    const int at = resultRows_++;
    resultLayout_->setRowStretch(at, 0);
    resultLayout_->setRowStretch(at + 1, 1);
    return at;
}

QLineEdit* AnalysisWindow::AddResultBox(const ResultRow& box) {
    QWidget* area = resultLayout_->parentWidget();
    const int at = NextResultRow();
    QLabel* label = MakeLabel(box.label, box.caption, area);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    resultLayout_->addWidget(label, at, 0);
    QLineEdit* first = MakeResultBox(box.box, area);
    resultLayout_->addWidget(first, at, 1);
    OfferCopyOn(first);
    if (!box.secondBox.isEmpty()) {
        QLineEdit* second = MakeResultBox(box.secondBox, area);
        resultLayout_->addWidget(second, at, 2, Qt::AlignLeft);
        OfferCopyOn(second);
    }
    return first;
}

void AnalysisWindow::AddResultBoxes(std::initializer_list<ResultRow> rows) {
    for (const ResultRow& row : rows) AddResultBox(row);
}

void AnalysisWindow::UseCatalogueProcedure() {
    const CatalogueEntry* entry = FindProcedure(row_.name.toStdString());
    if (entry == nullptr) return;
    const std::span<const BoxSpec> boxes = entry->boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        ResultRow row{ControlName(boxes[i].control), ControlName(boxes[i].labelControl),
                      QString::fromUtf8(boxes[i].label.data(), static_cast<qsizetype>(boxes[i].label.size()))};
        if (i + 1 < boxes.size() && boxes[i + 1].labelControl == boxes[i].labelControl) {
            row.secondBox = ControlName(boxes[++i].control);
        }
        AddResultBox(row);
    }
    UseProcedure([this, entry](DataFile& file, const RunSettings& settings) {
        return entry->Prepare(file, settings, RunChoices());
    });
}

bool AnalysisWindow::WritesOutputFile() const {
    const CatalogueEntry* entry = FindProcedure(row_.name.toStdString());
    return entry == nullptr || !entry->Has(kNoOutputFile);
}

QLineEdit* AnalysisWindow::ResultBoxNamed(const QString& name) const { return findChild<QLineEdit*>(name); }

void AnalysisWindow::AddResultWidget(QWidget* widget) {
    const int at = NextResultRow();
    widget->setParent(resultLayout_->parentWidget());
    resultLayout_->addWidget(widget, at, 0, 1, 3);
}

void AnalysisWindow::AddOptionWidget(QWidget* widget) {
    widget->setParent(optionsLayout_->parentWidget());
    optionsLayout_->addWidget(widget);
}

}  // namespace brevant::frame
