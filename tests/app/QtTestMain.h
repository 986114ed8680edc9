// Entry of the window tests: the locale fixed as in the logic tests, the
// offscreen platform unless the caller chose another (to watch a test run).
// On Windows every window test is one class of a single program, which names
// the class to run in its first argument (see QtTestPrograms.cpp): a static Qt
// makes each program large and slow to link.
#pragma once

#include <QApplication>
#include <QtTest>
#include <clocale>
#include <cstdlib>

#ifdef VORNAK_QTEST_ONE_PROGRAM

namespace vornak::test {
using QtTestRun = int (*)(int argc, char** argv);
bool registerQtTest(const char* name, QtTestRun run);
}  // namespace vornak::test

#define VORNAK_QTEST_MAIN(TestClass)                                         \
    static const bool vornakQtTestRegistered =                               \
        vornak::test::registerQtTest(#TestClass, [](int argc, char** argv) { \
            TestClass test;                                                  \
            return QTest::qExec(&test, argc, argv);                          \
        });

#else

#define VORNAK_QTEST_MAIN(TestClass)                    \
    int main(int argc, char** argv) {                   \
        setenv("LC_ALL", "en_US.UTF-8", 1);             \
        setenv("LANG", "en_US.UTF-8", 1);               \
        setenv("QT_QPA_PLATFORM", "offscreen", 0);      \
        QApplication application(argc, argv);           \
        QApplication::setQuitOnLastWindowClosed(false); \
        std::setlocale(LC_ALL, "C.UTF-8");              \
        TestClass test;                                 \
        return QTest::qExec(&test, argc, argv);         \
    }

#endif
