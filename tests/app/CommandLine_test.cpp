// The program's --help and --version, answered before any window (and without a display).
#include "app/CommandLine.h"
#include "engine/BuildInfo.h"

#include <QRegularExpression>
#include <QtTest>

#include "support/QtTests.h"

namespace BREVANT_TEST_UNIT {

using brevant::app::AnswerCommandLine;

class CommandLineTest : public QObject {
    Q_OBJECT

    static QString Version() { return QString::fromStdString(std::string(brevant::ProgramVersion())); }

private slots:
    void answers_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");  // -1: the program starts
        QTest::addColumn<QString>("firstLine");
        const QString version = QStringLiteral("brevant (Brevant Procedures) ") + Version();
        QTest::newRow("nothing") << QStringList{"brevant"} << -1 << QString();
        QTest::newRow("--version") << QStringList{"brevant", "--version"} << 0 << version;
        QTest::newRow("-v") << QStringList{"brevant", "-v"} << 0 << version;
        QTest::newRow("--help") << QStringList{"brevant", "--help"} << 0 << version;
        QTest::newRow("-h") << QStringList{"brevant", "-h"} << 0 << version;
        QTest::newRow("help wins over version") << QStringList{"brevant", "--version", "--help"} << 0 << version;
        QTest::newRow("after Qt options") << QStringList{"brevant", "-platform", "offscreen", "--version"} << 0
                                          << version;
        QTest::newRow("Qt options alone") << QStringList{"brevant", "-platform", "offscreen", "-style", "fusion"}
                                          << -1 << QString();
        // "-platform" is one word, not -p -l -a ... (and so not -h or -v hidden in a bundle).
        QTest::newRow("single-dash word holding h and v") << QStringList{"brevant", "-hv"} << -1 << QString();
        QTest::newRow("unknown option") << QStringList{"brevant", "--no-such-option"} << -1 << QString();
    }
    void answers() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, firstLine);
        QString text;
        QTextStream out(&text);
        const std::optional<int> answer = AnswerCommandLine(arguments, out);
        if (code < 0) {
            QVERIFY(!answer.has_value());
            QCOMPARE(text, QString());
        } else {
            QVERIFY(answer.has_value());
            QCOMPARE(*answer, code);
            QCOMPARE(text.section(QLatin1Char('\n'), 0, 0), firstLine);
        }
    }

    void versionIsTheConfiguredOneAlone() {
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+(\\.\\d+)?$")).match(Version()).hasMatch());
        QString text;
        QTextStream out(&text);
        AnswerCommandLine({QStringLiteral("brevant"), QStringLiteral("--version")}, out);
        QCOMPARE(text, QStringLiteral("brevant (Brevant Procedures) ") + Version() + QStringLiteral("\n"));
    }

    void helpNamesBothOptions() {
        QString text;
        QTextStream out(&text);
        AnswerCommandLine({QStringLiteral("brevant"), QStringLiteral("--help")}, out);
        QVERIFY(text.contains(QStringLiteral("Usage: brevant")));
        QVERIFY(text.contains(QStringLiteral("-h, --help")));
        QVERIFY(text.contains(QStringLiteral("-v, --version")));
        QVERIFY(text.contains(QStringLiteral("share/brevant")));
        QVERIFY(text.contains(QStringLiteral("brevant-cli")));
    }
};

BREVANT_QTEST(CommandLineTest)
}  // namespace BREVANT_TEST_UNIT
#include "CommandLine_test.moc"
