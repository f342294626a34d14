// What differs from one analysis window to the next, as data: one row per window. The frame
// (AnalysisWindow) builds every control, caption and menu from its row, so the thirteen windows share one
// implementation of their common behaviour and differ only in their result boxes and their run.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace brevant::frame {

// The common handlers a menu entry or button can run. The numbers are the handler numbers of the frame
// (1 and 2 are the option buttons, which no menu entry runs).
enum class Handler : int {
    None = 0,
    OpenDataFile = 3,    // file dialog with the window's data filter; stores the data-file name
    OpenOutputFile = 4,  // file dialog with the .dat filter; stores the output-file name
    NewDataFile = 5,     // shows the data editor
    About = 6,           // message box with the window's About text
    Description = 7,     // fills and shows txtFile from the window's description file
    ReturnToMain = 8,    // shows the main window and unloads this one
    QuitAll = 9,         // unloads every loaded window; the program ends with the last
    EndAtOnce = 10,      // "end the program now"; runs as QuitAll (see AnalysisWindow.cpp)
};

struct MenuEntry {
    QString name;     // objectName of the QAction
    QString caption;  // text, "&" marking the access letter
    Handler handler = Handler::None;
    // True where the window's own design left the entry without an action and we gave it the action its
    // caption promises ("&New" opens the editor, "E&xit" quits, "&Close" closes the window, "About" shows
    // the About text).
    bool actionAdded = false;
    // The entry asks before it acts (Yes / No, No the default): "&Close" where it ends the whole program.
    QString question = {};
};

struct Menu {
    QString name;  // objectName of the QMenu and of its menuAction()
    QString caption;
    std::vector<MenuEntry> entries;
};

struct Button {
    QString name;
    QString caption;
};

// A label placed beside a progress bar ("Resamples", "Sorting", "Sort"); an empty name means none.
struct Caption {
    QString name;
    QString text;
};

struct WindowRow {
    QString name;     // objectName of the window, and the name the main window opens it by
    QString caption;  // window title
    Button run;
    Button mainMenu;
    Button quit;
    QString frame1Caption;  // the "NReps" group box, blanks included
    QString fifthCountCaption;
    std::int32_t fifthCount = 0;
    bool hasOption2 = false;   // the "CI %" group with 90 % / 95 % / 99 %
    bool option2Acts = false;  // clicks store the confidence quantile; the run start applies "95 %"
    QString frame2Caption;
    QString dataFilter;        // "Description(*.ext)|*.ext|..." form
    // The description file: the window's own Description entry (where its menus have one) shows it in
    // txtFile, and Help > "Description (full text)..." in a window of its own. Empty: none.
    QString descriptionFile;
    bool descriptionDisabled = false;  // txtFile is shown greyed and disabled
    QString aboutText;         // empty: the window has no About message
    std::vector<Menu> menus;
    Caption progress1Label;    // beside ProgressBar1
    bool hasProgressBar2 = false;  // the sorting phase's bar
    Caption progress2Label;
    // The run start hides txtFile before it checks for a data file (otherwise a run refused for want of a
    // data file leaves the description showing).
    bool hideDescriptionFirst = false;
};

inline const QString kDataFilterD = QStringLiteral("Data files(*.dat)|*.dat");
inline const QString kDataFilterDT = QStringLiteral("Data (*.dat)|*.dat|Text (*.txt)|*.txt");
inline const QString kOutputFilter = QStringLiteral("Data files(*.dat)|*.dat");

// Option1(0)..(3); Option1(4) is the row's fifthCount.
inline constexpr std::int32_t kCountValues[4] = {1000, 2000, 5000, 10000};
inline const QString kCountCaptions[4] = {QStringLiteral("  1,000"), QStringLiteral("  2,000"),
                                          QStringLiteral("  5,000"), QStringLiteral("10,000")};
// Option2(0)..(2): "90 %", "95 %", "99 %" select these upper quantiles.
inline constexpr float kQuantileValues[3] = {0.95f, 0.975f, 0.995f};
inline const QString kQuantileCaptions[3] = {QStringLiteral("90 %"), QStringLiteral("95 %"),
                                             QStringLiteral("99 %")};

inline const QString kNoDataFileMessage = QStringLiteral("First open a file from the file menu");
// A Run reached while another run is in progress somewhere in the program (the generator is one stream).
inline const QString kRunInProgressMessage =
    QStringLiteral("Another run is in progress. Press Run again when it has finished.");

// All thirteen rows, in the order of the main window's menus (randomization tests, then bootstrap).
const std::vector<WindowRow>& WindowTable();
// The row of that window name, or nullptr.
const WindowRow* FindWindowRow(const QString& name);

}  // namespace brevant::frame
