// Shared main of every test program: a QGuiApplication on the offscreen
// platform (fonts and painting need one), then GoogleTest.
#include <QGuiApplication>
#include <gtest/gtest.h>

#include "auto/library.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    vorel::InitializeLibrary();
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    vorel::FinalizeLibrary();
    return rc;
}
