// Shared main of every test program: a QGuiApplication on the offscreen
// platform (fonts and painting need one), then GoogleTest. The programs of
// the widget folders get a QApplication (VOREL_TEST_WIDGETS), which widgets need.
#ifdef VOREL_TEST_WIDGETS
#include <QApplication>
#else
#include <QGuiApplication>
#endif
#include <gtest/gtest.h>

#include "auto/library.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef VOREL_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    vorel::InitializeLibrary();
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    vorel::FinalizeLibrary();
    return rc;
}
