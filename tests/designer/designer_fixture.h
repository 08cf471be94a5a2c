#pragma once
// The designer's window on a fresh report, as the widget tests drive it:
// recovery files in a folder of the test's own, no autosave timer, and
// the mouse and the undo stack at hand.

#include "designer/band_panel.h"
#include "designer/designer.h"
#include "designer/designer_window.h"
#include "model/report.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace vorel::test {

class DesignerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TKVXDesignerWindow::SetRecoveryDirectory(dir.filePath("recovery"));
        report.setObjectName("Report1");
        report.SetFileName(dir.filePath("form.kvx"));
        designer.SetReport(&report);
        designer.Options().AutoSaveSeconds = 0; // written on request only
    }
    void TearDown() override { TKVXDesignerWindow::SetRecoveryDirectory(QString()); }

    // Opens and shows the window; `ask` answers its "save changes?" question.
    void OpenWindow(std::function<int(const QString&)> ask = [](const QString&) { return int(QMessageBox::Discard); })
    {
        window.reset(designer.CreateWindow());
        window->AskSaveChanges = std::move(ask);
        window->show();
    }
    QByteArray Form() { return report.SaveReportToBytes(TReportFormFormat::Text); }
    QUndoStack* Stack() { return window->History()->Stack(); }
    // A drag with the left button, through one point half-way.
    static void Drag(TBandPanel* panel, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(panel, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(panel, (from + to) / 2);
        QTest::mouseMove(panel, to);
        QTest::mouseRelease(panel, Qt::LeftButton, modifiers, to);
    }

    QTemporaryDir dir;
    TKVReport report;
    TKVXDesigner designer;
    std::unique_ptr<TKVXDesignerWindow> window;
};

} // namespace vorel::test
