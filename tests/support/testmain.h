#pragma once

#include "headless.h"

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>

#define LEKTO_WEB_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        PrepareHeadlessEngine();                                                                             \
        QApplication app(argc, argv);                                                                        \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#include "eventwait.h"
