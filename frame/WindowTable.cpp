#include "frame/WindowTable.h"

#include "analysis/catalogue/ProcedureCatalogue.h"

namespace brevant::frame {

namespace {

using H = Handler;

MenuEntry E(const char* name, const char* caption, Handler handler) {
    return {QString::fromUtf8(name), QString::fromUtf8(caption), handler, false};
}
// An entry the window's design left without an action; it gets the one its caption promises.
MenuEntry Added(const char* name, const char* caption, Handler handler) {
    return {QString::fromUtf8(name), QString::fromUtf8(caption), handler, true};
}
Menu M(const char* name, const char* caption, std::vector<MenuEntry> entries) {
    return {QString::fromUtf8(name), QString::fromUtf8(caption), std::move(entries)};
}
// An entry that asks the question first.
MenuEntry Asked(const char* name, const char* caption, Handler handler, const QString& question) {
    return {QString::fromUtf8(name), QString::fromUtf8(caption), handler, false, question};
}
Button B(const char* name, const char* caption) { return {QString::fromUtf8(name), QString::fromUtf8(caption)}; }

// A "&Close" entry that is the program's end: closing every window at once surprises, so it asks.
const QString kCloseEndsProgram = QStringLiteral(
    "Close ends the whole program here: every window closes, and results not copied or saved are lost. End "
    "the program?");

const QString kNReps = QStringLiteral("NReps");
const QString kNRepsIndented = QStringLiteral("           NReps");
const QString kNRepsPadded = QStringLiteral("           NReps     ");
const QString kCi = QStringLiteral("     CI %");
const QString kCiTight = QStringLiteral("     CI% ");
const Caption kResamples{QStringLiteral("Label4"), QStringLiteral("Resamples")};
const Caption kSorting{QStringLiteral("Label5"), QStringLiteral("Sorting")};
const Caption kSort{QStringLiteral("lblProg2"), QStringLiteral("Sort")};

const QString kTwoMeansIndependent = QStringLiteral(
    "This is a resampling procedure to test the difference between two means in independent samples. "
    "This is version 1.1, last modified in January, 2001.");
const QString kTwoMediansText = QStringLiteral(
    "This is a bootstrap procedure to compare the medians of two independent samples, and provide confidence "
    "limits. This is version 1.1, last modified in January, 2001.");

// A row with the settings most windows share, its caption from the procedure catalogue; each row below
// changes what differs.
WindowRow Base(const char* name) {
    const CatalogueEntry& entry = *FindProcedure(name);
    WindowRow row;
    row.name = QString::fromUtf8(name);
    row.caption = QString::fromUtf8(entry.caption.data(), static_cast<qsizetype>(entry.caption.size()));
    row.hasOption2 = row.option2Acts = entry.Has(kConfidence);
    row.run = B("cmdRun", "Run");
    row.mainMenu = B("cmdMainMenu", "Main Menu");
    row.quit = B("Quit", "Quit");
    row.frame1Caption = kNReps;
    row.fifthCountCaption = QStringLiteral("100,000");
    row.fifthCount = 100000;
    row.frame2Caption = kCi;
    row.dataFilter = kDataFilterD;
    row.descriptionFile = row.name + QStringLiteral("Help.txt");
    row.progress1Label = kResamples;
    return row;
}

void FiftyThousand(WindowRow& row) {
    row.fifthCountCaption = QStringLiteral("50,000");
    row.fifthCount = 50000;
}
void ConfidenceButtons(WindowRow& row, const QString& frameCaption) { row.frame2Caption = frameCaption; }
void SortBar(WindowRow& row, const Caption& label) {
    row.hasProgressBar2 = true;
    row.progress2Label = label;
}

std::vector<WindowRow> BuildTable() {
    std::vector<WindowRow> rows;

    WindowRow indepT = Base("IndepT");
    indepT.dataFilter = kDataFilterDT;
    indepT.aboutText = kTwoMeansIndependent;
    indepT.menus = {
        M("mnuFile", "File",
          {Added("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenfile", "&Open", H::OpenDataFile),
           E("mnuOpenOut", "Open Outfile", H::OpenOutputFile), Added("mnuExit", "E&xit", H::QuitAll)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help",
          {E("mnuAbout", "About Brevant", H::About), E("mnuDescript", "Program Description", H::Description)})};
    rows.push_back(indepT);

    WindowRow pairedT = Base("PairedT");
    pairedT.dataFilter = kDataFilterDT;
    pairedT.descriptionDisabled = true;
    pairedT.progress1Label = {};
    pairedT.aboutText = QStringLiteral(
        "This is a randomization procedure to test the difference between two means in correlated samples. "
        "This is version 1.1, last modified in January, 2001.");
    pairedT.menus = {
        M("mnuFile", "&File",
          {E("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenItem", "&Open...", H::OpenDataFile),
           E("mnuOpenOut", "&Open Outfile", H::OpenOutputFile), E("mnuExitItem", "&Exit...", H::EndAtOnce)}),
        M("mnuAnalysis", "&Analysis", {E("mnuReturn", "Return to Main Window", H::ReturnToMain)}),
        M("mnuHelp", "Help", {E("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(pairedT);

    WindowRow twoMedRandom = Base("TwoMedianRandomTest");
    FiftyThousand(twoMedRandom);
    ConfidenceButtons(twoMedRandom, kCiTight);
    twoMedRandom.frame1Caption = kNRepsPadded;
    SortBar(twoMedRandom, kSort);
    twoMedRandom.hideDescriptionFirst = true;
    twoMedRandom.aboutText = kTwoMediansText;
    twoMedRandom.menus = {
        M("mnuFile", "&File",
          {E("mnuOpenFile", "&Open", H::OpenDataFile), E("mnuOpenOut", "OpenOutFile", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuRetrun", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help", {E("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(twoMedRandom);

    WindowRow corr1 = Base("Corr1");
    corr1.quit = B("Command1", "Quit");
    corr1.dataFilter = kDataFilterDT;
    corr1.aboutText = QStringLiteral("Permutation program to test Ho: rho = 0.");
    corr1.menus = {
        M("mnuFile", "&File",
          {E("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenFile", "&Open", H::OpenDataFile),
           E("mnuOpenOut", "Open Output File", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return to Main Window", H::ReturnToMain)}),
        M("mnuHelp", "Help", {E("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(corr1);

    WindowRow onewayRandom = Base("OnewayRandom");
    onewayRandom.hideDescriptionFirst = true;
    onewayRandom.aboutText = QStringLiteral(
        "This is a randomization procedure to test the difference between two means in independent samples. "
        "This is version 1.1, last modified in January, 2001.");
    onewayRandom.menus = {
        M("mnuFile", "&File",
          {E("mnuOpenFile", "&Open", H::OpenDataFile), E("mnuOpenOut", "OpenOutFile", H::OpenOutputFile)}),
        M("mnuAnalysis", "&Analysis", {E("mnuReturnMain", "&Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help", {E("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(onewayRandom);

    WindowRow repeated = Base("Repeated1way");
    repeated.quit = B("cmdQuit", "Quit");
    repeated.dataFilter = kDataFilterDT;
    repeated.descriptionDisabled = true;
    repeated.progress1Label = {};
    repeated.aboutText = QStringLiteral(
        "This is a randomization procedure to test the difference between several means in independent "
        "samples. This is version 1.1, last modified in January, 2001.");
    repeated.menus = {
        M("mnuFile", "&File",
          {Added("mnuNew", "&New", H::NewDataFile), E("mnuOpen", "&Open", H::OpenDataFile),
           E("mnuOpenOut", "&Open Outfile", H::OpenOutputFile)}),
        M("mnuanalysis", "&Analysis", {E("mnuReturn", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuhelp", "&Help",
          {E("mnuAbout", "About", H::About), E("mnuDescript", "Program description", H::Description)})};
    rows.push_back(repeated);

    // The fifth button selects the 50,000 its caption shows; the confidence buttons choose the quantile as
    // in the bootstrap windows (the run receives it; 0.975 unless the user picks another level).
    WindowRow pairedCorr = Base("PairedCorr");
    pairedCorr.quit = B("Command2", "Exit");
    FiftyThousand(pairedCorr);
    ConfidenceButtons(pairedCorr, kCi);
    pairedCorr.frame1Caption = kNRepsIndented;
    SortBar(pairedCorr, kSorting);
    pairedCorr.dataFilter = kDataFilterDT;
    // Its design has no Help menu: the frame adds one for the description (AnalysisWindow.cpp).
    pairedCorr.menus = {
        M("mnuFile", "File",
          {E("mnuNewFile", "New", H::NewDataFile), E("mnuOpenFile", "&Open", H::OpenDataFile),
           Added("mnuCloseFile", "&Close", H::ReturnToMain), Added("mnuExit", "E&xit", H::QuitAll)})};
    rows.push_back(pairedCorr);

    WindowRow bootstMean = Base("BootstMean");
    bootstMean.mainMenu = B("Command1", "Main Menu");
    bootstMean.quit = B("Command2", "Exit");
    FiftyThousand(bootstMean);
    ConfidenceButtons(bootstMean, kCi);
    bootstMean.frame1Caption = kNRepsIndented;
    SortBar(bootstMean, kSorting);
    bootstMean.hideDescriptionFirst = true;
    bootstMean.aboutText = kTwoMeansIndependent;
    bootstMean.menus = {
        M("mnuFile", "&File",
          {Added("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenFile", "&Open", H::OpenDataFile),
           E("mnuOutput", "OutputFile", H::OpenOutputFile), Added("mnuCloseFile", "&Close", H::ReturnToMain)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help",
          {E("mnuAbout", "About Brevant", H::About),
           E("mnuDescription", "Description of Program", H::Description)})};
    rows.push_back(bootstMean);

    WindowRow bootstMedian = Base("BootstMedian");
    bootstMedian.quit = B("Command2", "Exit");
    ConfidenceButtons(bootstMedian, kCi);
    bootstMedian.frame1Caption = kNRepsIndented;
    SortBar(bootstMedian, kSorting);
    bootstMedian.hideDescriptionFirst = true;
    bootstMedian.aboutText = QStringLiteral("Bootstrap procedure to estimate the median confidence limits on it.");
    bootstMedian.menus = {
        M("mnuFile", "&File",
          {Added("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenFile", "&Open", H::OpenDataFile),
           E("mnuOutput", "OutputFile", H::OpenOutputFile),
           Asked("mnuCloseFile", "&Close", H::QuitAll, kCloseEndsProgram)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help",
          {E("mnuAbout", "About", H::About),
           E("mnuDescription", "Description of BootstMedian", H::Description)})};
    rows.push_back(bootstMedian);

    // "About" had no message in this window's design; ours says what the procedure does, like the others.
    WindowRow bootstCorr = Base("BootstCorr");
    bootstCorr.run = B("Command1", "Run");
    bootstCorr.quit = B("Command2", "Exit");
    FiftyThousand(bootstCorr);
    ConfidenceButtons(bootstCorr, kCi);
    bootstCorr.frame1Caption = kNRepsIndented;
    SortBar(bootstCorr, kSorting);
    bootstCorr.aboutText = QStringLiteral(
        "This is a bootstrap procedure to estimate the correlation between two variables, with its standard "
        "error and confidence limits.");
    bootstCorr.menus = {
        M("mnuFile", "&File",
          {E("mnuNewFile", "&New", H::NewDataFile), E("mnuOpenFile", "&Open", H::OpenDataFile),
           E("mnuOpenOut", "&Open Output File", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return to Main Medu", H::ReturnToMain)}),
        M("mnuHelp", "Help",
          {Added("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(bootstCorr);

    WindowRow twoMedBoot = Base("TwoMedianBootTest");
    FiftyThousand(twoMedBoot);
    ConfidenceButtons(twoMedBoot, kCiTight);
    twoMedBoot.frame1Caption = kNRepsPadded;
    SortBar(twoMedBoot, kSort);
    twoMedBoot.hideDescriptionFirst = true;
    twoMedBoot.descriptionFile = QStringLiteral("Bootst2MediansHelp.txt");
    twoMedBoot.aboutText = kTwoMediansText;
    twoMedBoot.menus = {
        M("mnuFile", "&File",
          {E("mnuOpenFile", "&Open", H::OpenDataFile), E("mnuOpenOut", "OpenOutFile", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuRetrun", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help", {E("mnuAbout", "About", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(twoMedBoot);

    WindowRow mediation = Base("MediationBoot");
    mediation.run = B("Command1", "Run");
    mediation.quit = B("Command2", "Exit");
    FiftyThousand(mediation);
    ConfidenceButtons(mediation, kCi);
    mediation.frame1Caption = kNRepsIndented;
    SortBar(mediation, kSorting);
    mediation.menus = {
        M("mnuFile", "&File",
          {E("mnuOpenFile", "&Open", H::OpenDataFile), E("mnuOpenOUt", "OpenOut", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuReturn", "Return", H::ReturnToMain)}),
        M("mnuAbout", "About", {E("mnuDescript", "Descript", H::Description)})};
    rows.push_back(mediation);

    WindowRow onewayBoot = Base("OnewayBoot");
    FiftyThousand(onewayBoot);
    onewayBoot.hideDescriptionFirst = true;
    onewayBoot.aboutText = QStringLiteral(
        "This is a bootstrap procedure to test the difference between several means in independent samples. "
        "This is version 1.1, last modified in January, 2001.");
    onewayBoot.menus = {
        M("mnuFile", "&File",
          {E("mnuOpenFile", "&Open", H::OpenDataFile), E("mnuOpenOut", "OpenOutFile", H::OpenOutputFile)}),
        M("mnuAnalysis", "Analysis", {E("mnuRetrun", "Return to Main Menu", H::ReturnToMain)}),
        M("mnuHelp", "&Help",
          {E("mnuAbout", "About Oneway Bootstrapping", H::About), E("mnuDescript", "Description", H::Description)})};
    rows.push_back(onewayBoot);

    return rows;
}

}  // namespace

const std::vector<WindowRow>& WindowTable() {
    static const std::vector<WindowRow> table = BuildTable();
    return table;
}

const WindowRow* FindWindowRow(const QString& name) {
    for (const WindowRow& row : WindowTable())
        if (row.name == name) return &row;
    return nullptr;
}

}  // namespace brevant::frame
