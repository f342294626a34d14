// Brevant Procedures: starts at the main window. Description files are read by bare name from the working
// directory (the start script runs the program inside help/); built-in copies stand in when one is missing.
#include "app/CommandLine.h"
#include "app/DataEntryForm.h"
#include "app/Pictures.h"
#include "app/StartForm.h"
#include "engine/BuildInfo.h"
#include "engine/OutputFile.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    // --help and --version are answered before Qt needs a display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        QTextStream out(stdout);
        if (const auto code = brevant::app::AnswerCommandLine(arguments, out)) return *code;
    }
    QApplication app(argc, argv);
    brevant::RemoveTemporaryFileOnInterrupt();  // an interrupt while an output file is written leaves nothing
    // The settings (the file dialogs' last folder) are kept under these names.
    QApplication::setOrganizationName(QStringLiteral("Brevant"));
    QApplication::setOrganizationDomain(QStringLiteral("brevant.org"));
    QApplication::setApplicationName(QStringLiteral("Brevant Procedures"));
    QApplication::setApplicationVersion(QString::fromLatin1(brevant::ProgramVersion().data(),
                                                          qsizetype(brevant::ProgramVersion().size())));
    QApplication::setWindowIcon(QIcon(brevant::app::HistogramPicture(QSize(64, 64))));
    // The program ends through its quit and exit commands, which first unload the windows (or ask the
    // data editor's user), not merely because the last visible window went away.
    QApplication::setQuitOnLastWindowClosed(false);

    QPointer<brevant::app::StartForm> mainWindow = new brevant::app::StartForm();
    mainWindow->show();
    const int code = QApplication::exec();

    // "E&Xit" ends without unloading the windows: release what is still loaded.
    delete brevant::app::DataEntryForm::Existing();
    delete mainWindow.data();
    return code;
}
