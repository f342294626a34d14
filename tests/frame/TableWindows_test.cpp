// Tables in the analysis windows: the column chooser (answered through its hook as a user would), a run on
// the chosen columns giving the figures of the same values in counts-first text, the columns named on the
// status line and in Copy Results, refusals in the chooser, and the preview opening a window with the table.
#include "analysis/catalogue/ProcedureCatalogue.h"
#include "frame/ColumnChooser.h"
#include "frame/TablePreview.h"
#include "support/QtTests.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStatusBar>

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

constexpr Seeds kSeeds{9753, 8642, 1234};

// Sets a role's list to the column of that number (from 1).
void Pick(QComboBox* box, int column) {
    QVERIFY(box != nullptr);
    box->setCurrentIndex(box->findData(column - 1));
}

struct TableCase {
    const char* window;
    const char* table;                           // the file's text (.csv)
    const char* twin;                            // the same values as counts-first text, written by hand
    std::function<void(ColumnChooser&)> answer;  // what the user does in the chooser before OK
    const char* columns;                         // the Copy Results row, after "Columns\t"
    const char* options;                         // in the command that repeats the run
    const char* note;                            // a note the run must show, or nullptr
};

const TableCase kCases[] = {
    {"IndepT", "id,fast,slow\n1,4.1,5.0\n2,3.9,5.5\n3,4.4,\n4,4.0,6.2\n", "4 3\n4.1 3.9 4.4 4.0\n5.0 5.5 6.2\n",
     [](ColumnChooser& d) {  // three numeric columns: nothing is obvious, the user picks two
         QCOMPARE(d.RoleBox(0)->currentData().toInt(), -1);
         Pick(d.RoleBox(0), 2);
         Pick(d.RoleBox(1), 3);
     },
     "group A = \"fast\" (column 2), group B = \"slow\" (column 3)", "--columns fast,slow", nullptr},
    {"IndepT", "speed,time\nfast,4.1\nslow,5.0\nfast,3.9\nslow,5.5\nfast,4.4\nslow,6.2\nfast,4.0\n",
     "4 3\n4.1 3.9 4.4 4.0\n5.0 5.5 6.2\n",
     [](ColumnChooser& d) {  // one column of values and one of names: the long form, preselected
         QVERIFY(d.LongButton()->isChecked());
         QCOMPARE(d.ValuesBox()->currentData().toInt(), 1);
         QCOMPARE(d.GroupBox()->currentData().toInt(), 0);
         QVERIFY(d.ChoiceLabel()->text().contains(QStringLiteral("group B = \"slow\" (3 values)")));
     },
     "values \"time\" (column 2) grouped by \"speed\" (column 1): group A = \"fast\" (4 values), group B = \"slow\" "
     "(3 values)",
     "--columns time --group speed", nullptr},
    {"PairedT", "before,after\n10,12\n11,NA\n9,13\n14,15\n12,12.5\n", "4\n10 12\n9 13\n14 15\n12 12.5\n",
     [](ColumnChooser& d) {  // as many numeric columns as roles: preselected in order
         QCOMPARE(d.RoleBox(0)->currentData().toInt(), 0);
         QCOMPARE(d.RoleBox(1)->currentData().toInt(), 1);
     },
     "before = \"before\" (column 1), after = \"after\" (column 2)", "--columns before,after",
     "1 row with a missing value was left out (line 3)."},
    {"OnewayRandom", "label,a,b,c\nx,1,4,7\ny,2,5,8.5\nz,3,6,\n", "3\n3 3 2\n1 2 3\n4 5 6\n7 8.5\n",
     [](ColumnChooser& d) {  // the text column is left out of the preselection
         QCOMPARE(d.ColumnList()->item(0)->checkState(), Qt::Unchecked);
         QCOMPARE(d.ColumnList()->item(3)->checkState(), Qt::Checked);
     },
     "group 1 = \"a\" (column 2), group 2 = \"b\" (column 3), group 3 = \"c\" (column 4)", "--columns a,b,c", nullptr},
};

}  // namespace

class TableWindowsTest : public WindowTestBase {
    Q_OBJECT

public:
    TableWindowsTest() : WindowTestBase(kSeeds) {}

private slots:
    void init() {
        messages_.clear();
        InstallHooks();
    }
    void cleanup() {
        CloseWindows();
        SetColumnChooserHook({});
        for (const WindowRow& row : WindowTable()) StoredValuesOf(row.name) = {};
    }

    // Each run on a table equals the procedure's run on the counts-first twin from the same seeds.
    void runsOnChosenColumns() {
        int n = 0;
        for (const TableCase& c : kCases) {
            const QString table = Temp("table.csv"), twin = Temp("twin.dat");
            WriteText(table, c.table);
            WriteText(twin, c.twin);
            bool asked = false;
            SetColumnChooserHook([&](ColumnChooser& d) {
                asked = true;
                c.answer(d);
                d.show();
                Shot(&d, ("chooser-" + std::to_string(n)).c_str());
                return true;
            });
            AnalysisWindow* w = Open(c.window);
            answers_ << table;
            w->mnuOpenFile_Click();
            QVERIFY2(asked && w->DataFileChosen(), c.window);
            RunAndWait(w);
            QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
            const CatalogueEntry* entry = FindProcedure(c.window);
            RunResult direct = RunDirect([entry](DataFile& f, const RunSettings& s, Generator& g,
                                                 RunControl& r) { return entry->Run(f, s, {}, g, r); },
                                         kSeeds, twin, 1000);
            for (const ResultBox& box : direct.boxes) QCOMPARE(Box(w, box.control), ExpectedBoxText(box));
            QVERIFY(w->ResultsTable().contains(QStringLiteral("\nColumns\t") + QString::fromUtf8(c.columns) + u'\n'));
            const QString tip = w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->toolTip();
            QVERIFY2(tip.contains(QString::fromUtf8(c.options) + QStringLiteral(" --seed")), qPrintable(tip));
            if (c.note != nullptr) QVERIFY(w->NotesLabel()->text().contains(QString::fromUtf8(c.note)));
            QVERIFY(w->ChooseColumnsAction()->isEnabled());
            Shot(w, ("table-" + std::to_string(n++)).c_str());
            CloseWindows();
        }
    }

    // The chooser keeps OK closed on a choice the table cannot meet, saying why; the window keeps no file.
    void refusesBadChoices() {
        const QString table = Temp("refuse.csv");
        WriteText(table, "fast,slow,name\n4.1,5.0,a\n3.9,5.5,b\n");
        struct Refusal {
            std::function<void(ColumnChooser&)> answer;
            const char* says;
        };
        const Refusal refusals[] = {
            {[](ColumnChooser& d) { Pick(d.RoleBox(1), 1); }, "chosen twice"},
            {[](ColumnChooser& d) { Pick(d.RoleBox(1), 3); }, "column \"name\": "},
            {[](ColumnChooser& d) { d.RoleBox(0)->setCurrentIndex(0); }, "Choose a column for group A."},
            {[](ColumnChooser& d) { d.LongButton()->setChecked(true); }, "Choose the column of values"},
        };
        for (const Refusal& r : refusals) {
            QString said;
            SetColumnChooserHook([&](ColumnChooser& d) {
                r.answer(d);
                said = d.ChoiceLabel()->text();
                return true;
            });
            AnalysisWindow* w = Open("IndepT");
            QVERIFY(!w->UseDataFile(table));
            QVERIFY2(said.contains(QLatin1String(r.says)), qPrintable(said));
            QVERIFY(!w->DataFileChosen() && !w->Stored().columns);
            CloseWindows();
        }
    }

    // A table edited after its columns were chosen is refused at the run with the way out.
    void tableChangedSinceChoice() {
        const QString table = Temp("changed.csv");
        WriteText(table, "a,b\n1,2\n3,4\n");
        SetColumnChooserHook([](ColumnChooser&) { return true; });
        AnalysisWindow* w = Open("PairedT");
        QVERIFY(w->UseDataFile(table));
        WriteText(table, "x,y\n1,2\n3,4\n");
        w->RunButton()->click();
        QVERIFY(!w->Running());
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("no column \"a\"")));
        QVERIFY(messages_[0].contains(QStringLiteral("Choose Columns")));
    }

    // Other columns chosen after a run leave its results as an earlier data file's would: the run's line
    // names the table and its columns until the same columns are chosen again.
    void otherColumnsLeaveTheRunBehind() {
        const QString table = Temp("columns.csv");
        WriteText(table, "fast,slow\n4.1,5.0\n3.9,5.5\n4.4,6.0\n");
        SetColumnChooserHook([](ColumnChooser& d) { return Pick(d.RoleBox(0), 1), Pick(d.RoleBox(1), 2), true; });
        AnalysisWindow* w = Open("IndepT");
        w->resize(1600, w->height());
        QVERIFY(w->UseDataFile(table));
        RunAndWait(w);
        const auto runLine = [w] { return w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->text(); };
        QVERIFY2(runLine().startsWith(QStringLiteral("Last run \u00B7")), qPrintable(runLine()));
        SetColumnChooserHook([](ColumnChooser& d) { return Pick(d.RoleBox(0), 2), Pick(d.RoleBox(1), 1), true; });
        w->ChooseColumnsAction()->trigger();
        QVERIFY2(runLine().startsWith(QStringLiteral("Last run on columns.csv (fast, slow) \u00B7")),
                 qPrintable(runLine()));
        SetColumnChooserHook([](ColumnChooser& d) { return Pick(d.RoleBox(0), 1), Pick(d.RoleBox(1), 2), true; });
        w->ChooseColumnsAction()->trigger();
        QVERIFY2(runLine().startsWith(QStringLiteral("Last run \u00B7")), qPrintable(runLine()));
    }

    // The preview lists every analysis; opening one gives the window the table with its columns chosen.
    void previewOpensWindow() {
        const QString table = Temp("preview.csv");
        WriteText(table, "before,after\n10,12\n11,13\n9,13\n");
        TablePreview* preview = ShowTablePreview(nullptr, table);
        QVERIFY(preview != nullptr);
        QCOMPARE(preview->Analyses()->count(), 13);
        Shot(preview, "preview");
        bool preselected = false;
        SetColumnChooserHook([&](ColumnChooser& d) {
            preselected = d.RoleBox(0)->currentData().toInt() == 0 && d.RoleBox(1)->currentData().toInt() == 1;
            d.show();
            Shot(&d, "chooser");
            return true;
        });
        AnalysisWindow* w = preview->OpenAnalysis(QStringLiteral("PairedT"));
        QVERIFY(w != nullptr && preselected && w->DataFileChosen());
        QCOMPARE(w->Stored().dataFile, table);
        QCOMPARE(w->Stored().columns->columns, (std::vector<std::string>{"before", "after"}));
        QVERIFY(
            w->findChild<QLabel*>(QStringLiteral("lblDataFile"))->text().endsWith(QStringLiteral("(before, after)")));
        // Counts-first text is no table: refused by the preview, chosen in a window without a chooser.
        const QString counts = Temp("counts.dat");
        WriteText(counts, "2\n1 2\n3 4\n");
        QVERIFY(ShowTablePreview(nullptr, counts) == nullptr);
        QCOMPARE(messages_.size(), 1);
        SetColumnChooserHook([](ColumnChooser&) -> bool { qFatal("no chooser for counts-first text"); });
        QVERIFY(w->UseDataFile(counts) && !w->Stored().columns && !w->ChooseColumnsAction()->isEnabled());
    }
};

BREVANT_QTEST(TableWindowsTest)
}  // namespace BREVANT_TEST_UNIT
#include "TableWindows_test.moc"
