#include "app/frmSplash.h"

#include "frame/Shell.h"
#include "app/Pictures.h"
#include "engine/BuildInfo.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brevant::app {

QString frmSplash::AboutText() {
    return QStringLiteral(
        "Brevant Procedures answers classical questions about your own data by resampling it "
        "thousands of times instead of looking up distribution tables.\n\n"
        "Seven randomization tests shuffle values between groups, flip the signs of paired "
        "differences or permute one variable against another. Six bootstrap procedures draw "
        "samples with replacement and report standard errors and percentile confidence limits.\n\n"
        "Every analysis draws the histogram of its resampled statistic and can write the "
        "resampled values to a file. Data files are plain text; the data editor prepares them.");
}

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("About Brevant Statistics"));
    setAttribute(Qt::WA_DeleteOnClose);  // closing it in any way unloads it

    auto* Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(HistogramPicture(QSize(150, 110)));
    Picture1->setFixedSize(150, 110);
    Picture1->setFrameShape(QFrame::Box);

    auto* Label1 = new QLabel(QStringLiteral("Brevant Procedures"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setStyleHint(QFont::Serif);
    titleFont.setPointSize(20);
    titleFont.setBold(true);
    Label1->setFont(titleFont);

    auto* lblVersion = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(ProgramVersion().data(), qsizetype(ProgramVersion().size())), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(AboutText());
    Text1->setReadOnly(true);
    Text1->setMinimumSize(420, 170);

    auto* cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmSplash::cmdClose_Click);

    auto* titles = new QVBoxLayout();
    titles->addStretch(1);
    titles->addWidget(Label1);
    titles->addWidget(lblVersion);
    titles->addStretch(1);

    auto* top = new QHBoxLayout();
    top->addWidget(Picture1);
    top->addSpacing(12);
    top->addLayout(titles, 1);
    top->addSpacing(12);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);
    resize(560, 400);
}

void frmSplash::cmdClose_Click() {
    frame::ShowMainWindow();
    close();
}

}  // namespace brevant::app
