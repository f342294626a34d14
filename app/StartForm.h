// The main window: seeds the generator once per run of the program, and its menu bar launches the thirteen
// analysis windows, the data editor and the About box. It lives until the program ends.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace brevant::app {

class frmSplash;

class StartForm : public QMainWindow {
    Q_OBJECT

public:
    explicit StartForm(QWidget* parent = nullptr);
    ~StartForm() override;

    frmSplash* AboutBox() const;  // the About box while it is loaded

public slots:
    void Form_Load();

    void mnuNewFile_Click();
    void mnuOpenFile_Click();
    void mnuSaveFile_Click();
    void mnuSaveFileAs_Click();
    void mnuExit_Click();

    void mnuBootMean_Click();
    void mnuBootstCorr_Click();
    void mnuBootstMed_Click();
    void mnu2medboot_Click();
    void mnuMediation_Click();
    void mnuonewayboot_Click();

    void mnuIndepT_Click();
    void mnuDepT_Click();
    void mnu2MedTest_Click();
    void mnuCorr1_Click();
    void mnuOnewayRandom_Click();
    void mnuPairedCorr_Click();
    void mnurepeated1way_Click();

    void mnuAbout_Click();
    void mnuDescript_Click();

    void Quit_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildControls();
    void FillDirectoryList();
    void OpenAnalysis(const QString& windowName);

    QPointer<frmSplash> splash_;
    QListWidget* Dir1_ = nullptr;
    QLabel* lblFolder_ = nullptr;
    QPlainTextEdit* txtFile_ = nullptr;
};

}  // namespace brevant::app
