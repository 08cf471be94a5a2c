// The one call that installs the widget side: the dialogs answer the
// core's questions, Preview finds its window, and the designer's
// "Print when..." edits a control through the print-when dialog.

#include "designer/designer_window.h"
#include "dialogs/widget_install.h"
#include "dialogs/widget_user_interface.h"
#include "frame/preview_host.h"
#include "model/print_when.h"
#include "model/report.h"
#include "model/text_controls.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vorel;

TEST(WidgetInstall, OneCallInstallsTheDialogsThePreviewAndThePrintWhenEditor)
{
    ASSERT_EQ(dynamic_cast<TWidgetUserInterface*>(UserInterface()), nullptr);
    ASSERT_EQ(PreviewHost(), nullptr);
    {
        TWidgetUserInterfaceScope widgets;
        EXPECT_NE(dynamic_cast<TWidgetUserInterface*>(UserInterface()), nullptr);
        EXPECT_NE(PreviewHost(), nullptr);
        ASSERT_TRUE(bool(PrintWhenEditor()));

        TKVReport report;
        TKVXControl* label = report.GetBand(1)->Object(report.GetBand(1)->AddElement(&TKVXLabel::staticMetaObject));
        label->KVPrintWhen()->SetShowIf(QStringLiteral("[qty] > 1"));
        // Runs once the dialog's own event loop has started.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("edShowIf"));
            ASSERT_NE(edit, nullptr);
            edit->setText(QStringLiteral("[qty] > 2"));
            dialog->accept();
        });
        EXPECT_TRUE(PrintWhenEditor()(nullptr, label));
        EXPECT_EQ(label->KVPrintWhen()->ShowIf(), QStringLiteral("[qty] > 2"));
    }
    EXPECT_EQ(dynamic_cast<TWidgetUserInterface*>(UserInterface()), nullptr);
    EXPECT_EQ(PreviewHost(), nullptr);
    EXPECT_FALSE(bool(PrintWhenEditor()));
}
