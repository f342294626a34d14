// The Qt test classes of one area share a program: each file registers its class, and the program runs the
// class named on its command line, in a process of its own as ctest starts it (tests/CMakeLists.txt).
#pragma once

#include <QtTest>

#include <functional>

namespace brevant::testing {

using QtTestRun = std::function<int(int argc, char** argv)>;

// Records a class under its name; returns true so a file can register from a namespace-scope constant.
bool RegisterQtTest(const char* name, QtTestRun run);

}  // namespace brevant::testing

#define BREVANT_QTEST(TestClass)                                                   \
    [[maybe_unused]] const bool kRegistered##TestClass =                           \
        ::brevant::testing::RegisterQtTest(#TestClass, [](int argc, char** argv) { \
            TestClass test;                                                        \
            return QTest::qExec(&test, argc, argv);                                \
        });
