#pragma once
// The main() of a test whose controls and messages are read in English: the
// application of the given kind with the English language file installed.

#include "common/ZuTransLator.h"

#include <QTest>

#define ZU_ENGLISH_TEST_MAIN(Application, TestClass)                                               \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        Application app(argc, argv);                                                               \
        ZuTransLator translator(":/language/en-Us-new.ini");                                       \
        app.installTranslator(&translator);                                                        \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
