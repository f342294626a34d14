// The description files and the example data files that ship with the program: every name the windows
// ask for exists, the texts stay readable in the description boxes, and every example follows the layout
// of the window that reads it (counts first, then exactly the values they announce).
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include "support/QtTests.h"
#include <functional>
#include <optional>
#include "support/DescriptionFiles.h"

namespace BREVANT_TEST_UNIT {

namespace {

const QString kHelpDir = QStringLiteral(BREVANT_SOURCE_DIR "/help/");
const QString kExamplesDir = QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/");

using brevant::testing::kDescriptionFiles;

QString ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

std::vector<double> Items(const QString& path) {
    std::vector<double> items;
    const QStringList parts = ReadText(path).split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        const double v = part.toDouble(&ok);
        if (!ok) return {};
        items.push_back(v);
    }
    return items;
}

bool Whole(double v) { return v == std::floor(v) && v >= 1; }

// How many items a layout needs, from its counts; nullopt when a count is not a positive whole number.
using Layout = std::function<std::optional<std::size_t>(const std::vector<double>&)>;
Layout PerCase(int fields) {
    return [fields](const std::vector<double>& x) -> std::optional<std::size_t> {
        if (x.empty() || !Whole(x[0])) return std::nullopt;
        return 1 + static_cast<std::size_t>(x[0]) * fields;
    };
}
std::optional<std::size_t> TwoGroups(const std::vector<double>& x) {
    if (x.size() < 2 || !Whole(x[0]) || !Whole(x[1])) return std::nullopt;
    return 2 + static_cast<std::size_t>(x[0] + x[1]);
}
std::optional<std::size_t> Groups(const std::vector<double>& x) {
    if (x.empty() || !Whole(x[0]) || x[0] < 2 || x[0] > 10 || x.size() < 1 + x[0]) return std::nullopt;
    std::size_t n = 0;
    for (std::size_t j = 1; j <= static_cast<std::size_t>(x[0]); ++j) {
        if (!Whole(x[j])) return std::nullopt;
        n += static_cast<std::size_t>(x[j]);
    }
    return 1 + static_cast<std::size_t>(x[0]) + n;
}
std::optional<std::size_t> Repeated(const std::vector<double>& x) {
    if (x.size() < 2 || !Whole(x[0]) || !Whole(x[1])) return std::nullopt;
    return 2 + static_cast<std::size_t>(x[0] * x[1]);
}

const std::pair<const char*, Layout> kLayouts[] = {
    {"IndepT", TwoGroups},         {"PairedT", PerCase(2)},          {"TwoMedianRandomTest", TwoGroups},
    {"Corr1", PerCase(2)},         {"OnewayRandom", Groups},         {"Repeated1way", Repeated},
    {"PairedCorr", PerCase(4)},    {"BootstMean", PerCase(1)},       {"BootstMedian", PerCase(1)},
    {"BootstCorr", PerCase(2)},    {"TwoMedianBootTest", TwoGroups}, {"MediationBoot", PerCase(3)},
    {"OnewayBoot", Groups},
};

}  // namespace

class HelpFilesTest : public QObject {
    Q_OBJECT

private slots:
    void descriptionFilesAreThereAndReadable() {
        QStringList present = QDir(kHelpDir).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        QStringList expected = kDescriptionFiles;
        expected.sort();
        QCOMPARE(present, expected);
        for (const QString& name : kDescriptionFiles) {
            const QString text = ReadText(kHelpDir + name);
            QVERIFY2(text.size() > 500, qPrintable(name));
            const QStringList lines = text.split('\n');
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QVERIFY2(lines[i].size() <= 90, qPrintable(QStringLiteral("%1 line %2").arg(name).arg(i + 1)));
                // Plain ASCII: the texts show the same with any code page or font.
                for (QChar c : lines[i]) QVERIFY2(c.unicode() < 128 && c != '\t', qPrintable(name));
            }
        }
    }

    // Each window's description names its example file, and that file exists.
    void descriptionsPointToTheirExamples() {
        const QRegularExpression example(QStringLiteral("examples/([A-Za-z0-9]+)-[a-z0-9-]+\\.dat"));
        for (const QString& name : kDescriptionFiles) {
            if (name == QStringLiteral("BrevantHelp.txt")) continue;
            const QRegularExpressionMatch m = example.match(ReadText(kHelpDir + name));
            QVERIFY2(m.hasMatch(), qPrintable(name));
            QVERIFY2(QFile::exists(QStringLiteral(BREVANT_SOURCE_DIR "/help/") + m.captured(0)), qPrintable(m.captured(0)));
            QVERIFY2(name.startsWith(m.captured(1)) || (m.captured(1) == "TwoMedianBootTest" &&
                                                        name == QStringLiteral("Bootst2MediansHelp.txt")),
                     qPrintable(name));
        }
    }

    void examplesFollowTheirLayouts() {
        const QStringList files = QDir(kExamplesDir).entryList({QStringLiteral("*.dat")}, QDir::Files);
        QCOMPARE(files.size(), qsizetype(std::size(kLayouts)));
        for (const auto& [window, layout] : kLayouts) {
            const QStringList mine = files.filter(QRegularExpression(QStringLiteral("^%1-").arg(window)));
            QVERIFY2(mine.size() == 1, window);
            const std::vector<double> items = Items(kExamplesDir + mine[0]);
            const std::optional<std::size_t> needed = layout(items);
            QVERIFY2(needed.has_value(), qPrintable(mine[0]));
            QCOMPARE(items.size(), *needed);  // no value missing, none left over
        }
    }
};

BREVANT_QTEST(HelpFilesTest)
}  // namespace BREVANT_TEST_UNIT
#include "HelpFiles_test.moc"
