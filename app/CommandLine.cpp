#include "app/CommandLine.h"

#include "frame/Dialogs.h"
#include "engine/BuildInfo.h"

#include <QCommandLineParser>

namespace brevant::app {

namespace {

QString VersionText() {
    return QStringLiteral("brevant (%1) %2")
        .arg(frame::kProgramTitle, QString::fromLatin1(ProgramVersion().data(), qsizetype(ProgramVersion().size())));
}

}  // namespace

std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out) {
    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform offscreen, -style fusion): not bundles of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Resampling tests (randomization tests and bootstraps) on your own data, in windows.\n"
                       "Description files and examples are read from the working folder, else from the\n"
                       "installed share/brevant. The batch tool brevant-cli runs the same procedures.\n"
                       "Qt's standard options (-platform NAME, -style NAME, ...) are accepted as well."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    // Unknown options are Qt's (or ignored by it): the parse result does not matter here.
    (void)parser.parse(arguments);
    if (parser.isSet(help)) {
        out << VersionText() << "\n\nUsage: brevant [--help] [--version] [Qt options]\n\n"
            << parser.applicationDescription() << "\n\nOptions:\n"
            << "  -h, --help     " << help.description() << "\n"
            << "  -v, --version  " << version.description() << "\n";
        out.flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out << VersionText() << "\n";
        out.flush();
        return 0;
    }
    return std::nullopt;
}

}  // namespace brevant::app
