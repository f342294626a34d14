#include "app/StartForm.h"
#include "windows/RegisterWindows.h"

#include "frame/ColumnChooser.h"
#include "frame/Description.h"
#include "frame/TablePreview.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "app/DataEntryForm.h"
#include "app/Pictures.h"
#include "app/frmSplash.h"
#include "engine/Module1.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <mutex>

namespace brevant::app {

namespace {

struct MenuEntry {
    const char* name;
    const char* caption;
    void (StartForm::*slot)();
};

QMenu* AddMenu(QMenu* parent, QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = parent != nullptr ? parent->addMenu(QString::fromLatin1(caption))
                                    : bar->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

StartForm::StartForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("StartForm"));
    setWindowTitle(QStringLiteral("Brevant Procedures"));
    frame::RegisterWindowClasses();
    frame::RegisterLoadedWindow(this);
    frame::SetShowMainWindowHook([this] {
        show();
        raise();
        activateWindow();
    });
    frame::SetShowDataEditorHook([] { DataEntryForm::ShowShared(); });
    BuildMenus();
    BuildControls();
    resize(680, sizeHint().height());
    Form_Load();
}

StartForm::~StartForm() { frame::SetShowMainWindowHook({}); }

frmSplash* StartForm::AboutBox() const { return splash_; }

void StartForm::Form_Load() {
    // Seeded once for the whole run of the program: every window continues one stream of draws.
    static std::once_flag seeded;
    std::call_once(seeded, [] { SeedFromClock(); });
}

void StartForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    auto addEntries = [this](QMenu* menu, std::initializer_list<MenuEntry> entries) {
        for (const MenuEntry& e : entries) {
            QAction* action = menu->addAction(QString::fromLatin1(e.caption));
            action->setObjectName(QString::fromLatin1(e.name));
            connect(action, &QAction::triggered, this, e.slot);
        }
    };

    QMenu* mnuFile = AddMenu(nullptr, bar, "mnuFile", "&File");
    addEntries(mnuFile, {{"mnuNewFile", "&New", &StartForm::mnuNewFile_Click},
                         {"mnuOpenFile", "&Open", &StartForm::mnuOpenFile_Click},
                         {"mnuSaveFile", "&Save", &StartForm::mnuSaveFile_Click},
                         {"mnuSaveFileAs", "Save &As", &StartForm::mnuSaveFileAs_Click},
                         {"mnuExit", "E&Xit", &StartForm::mnuExit_Click}});

    QMenu* mnuAnalysis = AddMenu(nullptr, bar, "mnuAnalysis", "Analysis");
    QMenu* mnuHeader1 = AddMenu(mnuAnalysis, bar, "mnuHeader1", "Bootstrapping Procedures");
    addEntries(mnuHeader1, {{"mnuBootMean", "Bootstrapped Mean", &StartForm::mnuBootMean_Click},
                            {"mnuBootstCorr", "Bootstrap Correlation", &StartForm::mnuBootstCorr_Click},
                            {"mnuBootstMed", "Bootstrapped Median", &StartForm::mnuBootstMed_Click},
                            {"mnu2medboot", "Compare 2 Medians via Bootstrapping", &StartForm::mnu2medboot_Click},
                            {"mnuMediation", "Mediation Test via Bootstrapping", &StartForm::mnuMediation_Click},
                            {"mnuonewayboot", "Oneway Anova via Bootstrap", &StartForm::mnuonewayboot_Click}});
    QMenu* mnuHeader2 = AddMenu(mnuAnalysis, bar, "mnuHeader2", "Randomization Tests");
    addEntries(mnuHeader2,
               {{"mnuIndepT", "Two Independent Samples", &StartForm::mnuIndepT_Click},
                {"mnuDepT", "Two Paired Samples", &StartForm::mnuDepT_Click},
                {"mnu2MedTest", "Compare Medians of 2 samples", &StartForm::mnu2MedTest_Click},
                {"mnuCorr1", "Correlation via randomization", &StartForm::mnuCorr1_Click},
                {"mnuOnewayRandom", "Oneway Anova via Randomization", &StartForm::mnuOnewayRandom_Click},
                {"mnuPairedCorr", "Paired Correlations", &StartForm::mnuPairedCorr_Click},
                {"mnurepeated1way", "Repeated Measures 0ne-way", &StartForm::mnurepeated1way_Click}});

    QMenu* mnuHelp = AddMenu(nullptr, bar, "mnuHelp", "Help");
    addEntries(mnuHelp, {{"mnuAbout", "About Brevant", &StartForm::mnuAbout_Click},
                         {"mnuDescript", "Program Description", &StartForm::mnuDescript_Click}});
}

void StartForm::BuildControls() {
    auto* central = new QWidget(this);

    auto* Picture1 = AddLabel(central, "Picture1", {});
    Picture1->setPixmap(HistogramPicture(QSize(120, 88)));
    Picture1->setFixedSize(120, 88);
    Picture1->setFrameShape(QFrame::Box);

    QLabel* Label1 = AddLabel(central, "Label1", QStringLiteral("Brevant Procedures"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setStyleHint(QFont::Serif);
    titleFont.setPointSize(24);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    QLabel* Label2 = AddLabel(central, "Label2", QStringLiteral("Randomization tests and bootstrap procedures"));
    QLabel* Label3 = AddLabel(central, "Label3",
                              QStringLiteral("for means, medians, correlations, one-way designs and mediation"));
    QLabel* Label4 = AddLabel(central, "Label4",
                              QStringLiteral("Data: plain text, counts first, or a table with named columns"));

    QLabel* Label5 = AddLabel(central, "Label5", QStringLiteral("Begin by Selecting an Analysis from Menu Bar"));
    QFont promptFont = Label5->font();
    promptFont.setPointSize(promptFont.pointSize() + 2);
    promptFont.setBold(true);
    Label5->setFont(promptFont);
    Label5->setAlignment(Qt::AlignCenter);

    auto* Image1 = AddLabel(central, "Image1", {});
    Image1->setPixmap(ResamplePicture(QSize(150, 96)));
    Image1->setFixedSize(150, 96);
    Image1->setToolTip(QStringLiteral("A resample: values drawn with replacement from the data"));

    lblFolder_ = AddLabel(central, "lblFolder", {});
    lblFolder_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Dir1_ = new QListWidget(central);
    Dir1_->setObjectName(QStringLiteral("Dir1"));
    Dir1_->setMinimumHeight(96);
    Dir1_->setMaximumHeight(140);  // the description box, when shown, gets the room below
    FillDirectoryList();

    auto* Quit = new QPushButton(QStringLiteral("Quit"), central);
    Quit->setObjectName(QStringLiteral("Quit"));
    connect(Quit, &QPushButton::clicked, this, &StartForm::Quit_Click);

    txtFile_ = new QPlainTextEdit(central);
    txtFile_->setObjectName(QStringLiteral("txtFile"));
    txtFile_->setReadOnly(true);
    txtFile_->setVisible(false);

    auto* titles = new QVBoxLayout();
    titles->setSpacing(2);
    titles->addWidget(Label1);
    titles->addWidget(Label2);
    titles->addWidget(Label3);
    titles->addWidget(Label4);

    auto* header = new QHBoxLayout();
    header->addWidget(Picture1, 0, Qt::AlignTop);
    header->addSpacing(14);
    header->addLayout(titles, 1);

    auto* folders = new QVBoxLayout();
    folders->setSpacing(2);
    folders->addWidget(lblFolder_);
    folders->addWidget(Dir1_, 1);
    folders->addStretch(0);

    auto* quitColumn = new QVBoxLayout();
    quitColumn->addStretch(1);
    quitColumn->addWidget(Quit);

    auto* middle = new QHBoxLayout();
    middle->addWidget(Image1, 0, Qt::AlignTop);
    middle->addSpacing(10);
    middle->addLayout(folders, 1);
    middle->addSpacing(10);
    middle->addLayout(quitColumn);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(header);
    layout->addSpacing(10);
    layout->addWidget(Label5);
    layout->addSpacing(10);
    layout->addLayout(middle);
    layout->addWidget(txtFile_, 1);
    setCentralWidget(central);
}

// The folders of the working directory, for orientation only: the list has no actions.
void StartForm::FillDirectoryList() {
    const QDir here = QDir::current();
    lblFolder_->setText(QStringLiteral("Folders in %1").arg(QDir::toNativeSeparators(here.absolutePath())));
    lblFolder_->setToolTip(QDir::toNativeSeparators(here.absolutePath()));
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    Dir1_->clear();
    for (const QString& name : here.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        Dir1_->addItem(new QListWidgetItem(folderIcon, name));
    }
}

void StartForm::OpenAnalysis(const QString& windowName) {
    if (frame::ShowAnalysisWindow(windowName, this) == nullptr) {
        frame::ShowMessage(this, QStringLiteral("The analysis window %1 could not be opened.").arg(windowName));
    }
}

void StartForm::mnuNewFile_Click() { DataEntryForm::ShowShared(); }

// Data first, then the analysis: counts-first text opens in the data editor, a table in a preview of its
// columns from which any analysis opens with the table as its data file.
void StartForm::mnuOpenFile_Click() {
    const QString name = frame::ShowFileDialog(
        this, {frame::FileDialogKind::Open, frame::kOpenDataFileTitle,
               QStringLiteral("Data files(*.dat)|*.dat") + frame::kTableFilterEntry +
                   QStringLiteral("|All files (*)|*")});
    if (name.isEmpty()) return;
    if (frame::IsTableFile(name)) {
        frame::ShowTablePreview(this, name);
        return;
    }
    if (DataEntryForm::Shared()->Load(name)) DataEntryForm::ShowShared();  // else it has said why
}

// The main window holds no data of its own: saving saves the data editor's text.
void StartForm::mnuSaveFile_Click() { mnuSaveFileAs_Click(); }
void StartForm::mnuSaveFileAs_Click() {
    DataEntryForm::ShowShared();
    DataEntryForm::Shared()->mnuSaveAsFile_Click();
}

// Ends the program at once, without unloading the windows one by one, once every window that could lose
// work has agreed: a run in progress, unsaved editor text.
void StartForm::mnuExit_Click() {
    if (!frame::MayQuitAll()) return;
    QCoreApplication::exit(0);
}

void StartForm::mnuBootMean_Click() { OpenAnalysis(QStringLiteral("BootstMean")); }
void StartForm::mnuBootstCorr_Click() { OpenAnalysis(QStringLiteral("BootstCorr")); }
void StartForm::mnuBootstMed_Click() { OpenAnalysis(QStringLiteral("BootstMedian")); }
void StartForm::mnu2medboot_Click() { OpenAnalysis(QStringLiteral("TwoMedianBootTest")); }
void StartForm::mnuMediation_Click() { OpenAnalysis(QStringLiteral("MediationBoot")); }
void StartForm::mnuonewayboot_Click() { OpenAnalysis(QStringLiteral("OnewayBoot")); }

void StartForm::mnuIndepT_Click() { OpenAnalysis(QStringLiteral("IndepT")); }
void StartForm::mnuDepT_Click() { OpenAnalysis(QStringLiteral("PairedT")); }
void StartForm::mnu2MedTest_Click() { OpenAnalysis(QStringLiteral("TwoMedianRandomTest")); }
void StartForm::mnuCorr1_Click() { OpenAnalysis(QStringLiteral("Corr1")); }
void StartForm::mnuOnewayRandom_Click() { OpenAnalysis(QStringLiteral("OnewayRandom")); }
void StartForm::mnuPairedCorr_Click() { OpenAnalysis(QStringLiteral("PairedCorr")); }
void StartForm::mnurepeated1way_Click() { OpenAnalysis(QStringLiteral("Repeated1way")); }

void StartForm::mnuAbout_Click() {
    if (splash_.isNull()) {
        splash_ = new frmSplash(this);
        frame::RegisterLoadedWindow(splash_);
    }
    splash_->show();
    splash_->raise();
    splash_->activateWindow();
}

void StartForm::mnuDescript_Click() {
    txtFile_->setVisible(true);
    txtFile_->setPlainText(frame::ReadDescription(QStringLiteral("BrevantHelp.txt")));
    txtFile_->setEnabled(true);
    // Room for the description below the launcher.
    if (height() < 680 || width() < 720) resize(std::max(width(), 720), std::max(height(), 680));
}

void StartForm::Quit_Click() { frame::QuitAll(); }

void StartForm::closeEvent(QCloseEvent* event) {
    if (frame::Quitting()) {
        event->accept();
        return;
    }
    // Closing the main window quits the program: every window is unloaded, most recent first, once this
    // close has returned. A window may refuse (the editor's user cancels), and the program then goes on.
    event->ignore();
    QMetaObject::invokeMethod(qApp, [] { frame::QuitAll(); }, Qt::QueuedConnection);
}

}  // namespace brevant::app
