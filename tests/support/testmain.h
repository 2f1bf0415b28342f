#pragma once

#include "browserhost.h"
#include "browserview.h"

#include <QtTest/QtTest>
#include <QtWidgets/QApplication>

// Tests drive the real engine headless: offscreen unless a display is given,
// and with a profile that keeps nothing between runs.
#define LEKTO_WEB_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                  \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                         \
        BrowserHostStart();                                                                                  \
        TBrowserView::UseOffTheRecordProfile();                                                              \
        QApplication app(argc, argv);                                                                        \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#include "eventwait.h"
