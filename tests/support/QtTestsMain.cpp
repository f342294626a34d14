// The main() of an area's Qt test program: the application object QTEST_MAIN would make, then the class
// named by the first argument (the rest go to QTest), or every registered class when none is named.
#include "support/QtTests.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

namespace brevant::testing {
namespace {

std::map<std::string, QtTestRun>& Registry() {
    static std::map<std::string, QtTestRun> registry;
    return registry;
}

}  // namespace

bool RegisterQtTest(const char* name, QtTestRun run) {
    Registry().emplace(name, std::move(run));
    return true;
}

}  // namespace brevant::testing

int main(int argc, char** argv) {
    TestApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    const auto& registry = brevant::testing::Registry();
    if (argc > 1 && argv[1][0] != '-') {
        const auto found = registry.find(argv[1]);
        if (found == registry.end()) {
            std::fprintf(stderr, "%s: no test class named %s\n", argv[0], argv[1]);
            return 2;
        }
        std::vector<char*> rest{argv[0]};
        rest.insert(rest.end(), argv + 2, argv + argc);
        return found->second(static_cast<int>(rest.size()), rest.data());
    }
    int failed = 0;
    for (const auto& [name, run] : registry) failed += run(argc, argv) != 0;
    return failed;
}
