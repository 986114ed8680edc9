// Entry of the window tests: the locale fixed as in the logic tests, the
// offscreen platform unless the caller chose another (to watch a test run).
#pragma once

#include <QApplication>
#include <QtTest>
#include <clocale>
#include <cstdlib>

#define VORNAK_QTEST_MAIN(TestClass)                                \
    int main(int argc, char** argv) {                               \
        setenv("LC_ALL", "en_US.UTF-8", 1);                         \
        setenv("LANG", "en_US.UTF-8", 1);                           \
        setenv("QT_QPA_PLATFORM", "offscreen", 0);                  \
        QApplication application(argc, argv);                       \
        QApplication::setQuitOnLastWindowClosed(false);             \
        std::setlocale(LC_ALL, "C.UTF-8");                          \
        TestClass test;                                             \
        return QTest::qExec(&test, argc, argv);                     \
    }
