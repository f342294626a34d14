#include "frame/Description.h"

#include "engine/BuildInfo.h"

#include <QFile>
#include <QTextStream>

// Q_INIT_RESOURCE must be used outside any namespace. The frame is a static library, so the built-in
// copies are linked in only because this reference pulls them in.
static void InitBuiltInDescriptions() { Q_INIT_RESOURCE(help); }

namespace brevant::frame {

namespace {

// Line by line to the end, each line followed by CR LF. False when the file cannot be opened or read.
bool ReadLines(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QTextStream in(&file);
    QString result;
    while (!in.atEnd()) {
        result += in.readLine();
        result += QStringLiteral("\r\n");
    }
    if (file.error() != QFileDevice::NoError) return false;
    text = std::move(result);
    return true;
}

}  // namespace

QString ReadDescription(const QString& bareFileName) {
    QString text;
    if (ReadLines(bareFileName, text)) return text;
    // Then the installed share/brevant, then (run from the build tree) the source tree's help/.
    for (const std::filesystem::path& folder : ProgramDataFolders()) {
        if (ReadLines(QString::fromStdString((folder / bareFileName.toStdString()).string()), text)) return text;
    }
    static const bool initialised = (InitBuiltInDescriptions(), true);
    (void)initialised;
    if (ReadLines(QStringLiteral(":/help/") + bareFileName, text)) return text;
    return {};  // neither a file nor a built-in copy: an empty description, never a failure
}

}  // namespace brevant::frame
