// The preview window as a user drives it: keys, the page number, the scale
// list and zoom buttons, sheet tabs, opening a prepared report, a report
// freed while the window is open, and Preview reaching the window through
// the core (modal and embedded).

#include "frame/preview_host.h"
#include "preview/preview_install.h"
#include "preview/preview_window.h"
#include "preview_test_support.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace vorel {
namespace {

using test::TPagesReport;

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::SearchablePages(report, 4);
        report.Prepare();
        window = new TfrmKVPreview;
        window->resize(800, 600);
        window->SetReport(&report, false);
        window->show();
    }
    void TearDown() override { delete window.data(); }

    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, QWidget* target = nullptr)
    {
        QTest::keyClick(target ? target : window.data(), key, modifiers);
    }
    int Page() const { return window->Preview()->PageNumber(); }

    TPagesReport report;
    QPointer<TfrmKVPreview> window;
};

TEST_F(PreviewWindowTest, OpensAtPageOneFittedToWidth)
{
    TKVXPreview* preview = window->Preview();
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(preview->Zoom(), preview->GetZoomFitToWidth());
    EXPECT_EQ(window->cbScale->currentIndex(), int(TfrmKVPreview::kScaleFitWidth));
    EXPECT_TRUE(window->actPageWidth->isChecked());
    EXPECT_EQ(window->lblPageCount->text(), QStringLiteral("of 4"));
    EXPECT_EQ(window->edPage->text(), QStringLiteral("1"));
    EXPECT_FALSE(window->tsSheets->isVisible()) << "one bar: no sheet tabs";
    EXPECT_FALSE(window->actFirst->isEnabled());
    EXPECT_FALSE(window->actPrior->isEnabled());
    EXPECT_TRUE(window->actNext->isEnabled());
    EXPECT_FALSE(window->actOutlines->isEnabled()) << "no outline entries";
}

TEST_F(PreviewWindowTest, NavigationKeysAndButtons)
{
    // Each row: the key, the page after it. Keys work on the window and on
    // the preview that has the focus (which would otherwise scroll with them).
    const struct {
        Qt::Key Key;
        int Page;
    } rows[] = {{Qt::Key_PageDown, 2}, {Qt::Key_PageDown, 3}, {Qt::Key_End, 4}, {Qt::Key_PageDown, 4},
                {Qt::Key_PageUp, 3}, {Qt::Key_Home, 1}, {Qt::Key_PageUp, 1}};
    for (QWidget* target : {static_cast<QWidget*>(window.data()), static_cast<QWidget*>(window->Preview())}) {
        for (const auto& row : rows) {
            Key(row.Key, {}, target);
            EXPECT_EQ(Page(), row.Page) << "key " << int(row.Key);
            EXPECT_EQ(window->edPage->text(), QString::number(row.Page));
            EXPECT_EQ(window->actNext->isEnabled(), row.Page < 4);
            EXPECT_EQ(window->actPrior->isEnabled(), row.Page > 1);
        }
    }
    QTest::mouseClick(window->tbMain->widgetForAction(window->actLast), Qt::LeftButton);
    EXPECT_EQ(Page(), 4);
    EXPECT_EQ(report.intCurPage, 3);
    QTest::mouseClick(window->tbMain->widgetForAction(window->actPrior), Qt::LeftButton);
    EXPECT_EQ(Page(), 3);
}

TEST_F(PreviewWindowTest, PageNumberEdit)
{
    const struct {
        const char* Typed;
        int Page;
        const char* Shown;
    } rows[] = {{"3", 3, "3"}, {"abc", 1, "1"}, {"9", 1, "1"}, {" 2 ", 2, "2"}, {"0", 2, "2"}};
    for (const auto& row : rows) {
        window->edPage->setFocus();
        window->edPage->selectAll();
        QTest::keyClicks(window->edPage, QString::fromLatin1(row.Typed));
        QTest::keyClick(window->edPage, Qt::Key_Return);
        EXPECT_EQ(Page(), row.Page) << row.Typed;
        EXPECT_EQ(window->edPage->text(), QString::fromLatin1(row.Shown)) << row.Typed;
    }
    // Home and End stay with the text while the page number has the focus.
    window->edPage->setFocus();
    Key(Qt::Key_End, {}, window->edPage);
    EXPECT_EQ(Page(), 2);
}

TEST_F(PreviewWindowTest, ScaleListAndZoomButtons)
{
    TKVXPreview* preview = window->Preview();
    window->ChooseScale(3); // 150%
    EXPECT_EQ(preview->Zoom(), 150);
    EXPECT_EQ(window->cbScale->currentIndex(), 3);
    EXPECT_EQ(window->cbScale->toolTip(), QStringLiteral("Scale: 150%"));
    EXPECT_FALSE(window->actZoom100->isChecked());

    window->actZoom100->trigger();
    EXPECT_EQ(preview->Zoom(), 100);
    EXPECT_EQ(window->cbScale->currentIndex(), 4);
    EXPECT_TRUE(window->actZoom100->isChecked());

    window->actOnePage->trigger();
    EXPECT_EQ(preview->Zoom(), preview->GetZoomFitToPage());
    EXPECT_TRUE(window->actOnePage->isChecked());
    EXPECT_FALSE(window->actZoom100->isChecked());

    preview->SetZoom(123); // no entry: custom
    EXPECT_EQ(window->cbScale->currentIndex(), int(TfrmKVPreview::kScaleCustom));
    window->ChooseScale(TfrmKVPreview::kScaleCustom);
    EXPECT_EQ(preview->Zoom(), 123) << "custom leaves the zoom";

    // Zoom-in and zoom-out: only one down at a time, and the click mode follows.
    window->actZoomIn->trigger();
    EXPECT_EQ(preview->ZoomByClick(), zcInc);
    window->actZoomOut->trigger();
    EXPECT_EQ(preview->ZoomByClick(), zcDec);
    EXPECT_FALSE(window->actZoomIn->isChecked());
    window->actZoomOut->trigger();
    EXPECT_EQ(preview->ZoomByClick(), zcNone);
}

TEST_F(PreviewWindowTest, FittedZoomFollowsTheWindowSize)
{
    TKVXPreview* preview = window->Preview();
    const int before = preview->Zoom();
    window->resize(1200, 600);
    QCoreApplication::processEvents();
    EXPECT_GT(preview->Zoom(), before);
    EXPECT_EQ(preview->Zoom(), preview->GetZoomFitToWidth());
    window->ChooseScale(4); // 100%: a chosen percentage stays
    window->resize(700, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(preview->Zoom(), 100);
}

TEST_F(PreviewWindowTest, SheetTabsForSeveralBars)
{
    test::SearchablePages(report, 2, 3);
    report.Prepare();
    window->SetReport(&report, false);
    ASSERT_TRUE(window->tsSheets->isVisible());
    ASSERT_EQ(window->tsSheets->count(), 3);
    EXPECT_EQ(window->tsSheets->tabText(1), QStringLiteral("Sheet 2"));
    window->tsSheets->setCurrentIndex(2);
    EXPECT_EQ(window->Preview()->BarNumber(), 3);
    EXPECT_EQ(report.intCurBar, 2);
    // A bar reached another way selects its tab.
    window->Preview()->SetBarNumber(2);
    EXPECT_EQ(window->tsSheets->currentIndex(), 1);
}

TEST_F(PreviewWindowTest, EscClosesAndFreesTheWindow)
{
    Key(Qt::Key_Escape, {}, window->Preview());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(PreviewWindowTest, OpenPreparedReport)
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("two.zpg"));
    TPagesReport other;
    test::SearchablePages(other, 2);
    other.Prepare();
    other.SavePreparedReport(saved);

    window->Preview()->SetPageNumber(3);
    ASSERT_TRUE(window->OpenPreparedFile(saved));
    EXPECT_EQ(report.GetNumPages(), 2);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(window->lblPageCount->text(), QStringLiteral("of 2"));
    EXPECT_TRUE(window->actLast->isEnabled());

    const QString broken = dir.filePath(QStringLiteral("broken.zpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("KVXP but not really");
    file.close();
    EXPECT_FALSE(window->OpenPreparedFile(broken));
    EXPECT_TRUE(window->LastMessage().contains(QStringLiteral("broken.zpg"))) << window->LastMessage().toStdString();
    window->grab(); // paints whatever is left
}

TEST_F(PreviewWindowTest, FreeingTheReportWhileTheWindowIsOpen)
{
    auto* doomed = new TPagesReport;
    test::SearchablePages(*doomed, 3);
    doomed->Prepare();
    window->SetReport(doomed, false);
    window->actThumbnails->setChecked(true);
    Key(Qt::Key_PageDown);
    delete doomed;
    EXPECT_EQ(window->Report(), nullptr);
    EXPECT_EQ(window->lblPageCount->text(), QStringLiteral("of 0"));
    EXPECT_FALSE(window->actPrint->isEnabled());
    // Everything a user can still do does nothing, and paints.
    for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home, Qt::Key_F3})
        Key(key);
    Key(Qt::Key_P, Qt::ControlModifier);
    Key(Qt::Key_S, Qt::ControlModifier);
    window->actNext->trigger();
    window->ChooseScale(TfrmKVPreview::kScaleFitPage);
    EXPECT_FALSE(window->grab().isNull());
}

// --- Preview through the core -------------------------------------------------------------

TEST(PreviewThroughTheCore, HeadlessWithoutTheWindowInstalled)
{
    UninstallPreviewWindow();
    TPagesReport report;
    test::SearchablePages(report, 1);
    try {
        report.Preview();
        FAIL() << "expected the headless message";
    } catch (const EKVXError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The preview window is not available in this build"));
    }
}

TEST(PreviewThroughTheCore, ModalWindowReturnsWhenClosed)
{
    InstallPreviewWindow();
    TPagesReport report;
    test::SearchablePages(report, 2);
    int afterPreview = 0;
    report.OnAfterPreview = [&](QObject*) { ++afterPreview; };
    QPointer<TfrmKVPreview> seen;
    // Runs inside the window's modal loop, once it has started.
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<TfrmKVPreview*>(w)) {
                seen = window;
                EXPECT_EQ(window->Preview()->Report(), &report);
                EXPECT_FALSE(window->actOutlines->isEnabled());
                window->close();
            }
    });
    report.Preview();
    EXPECT_EQ(afterPreview, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(seen.isNull()) << "the window frees itself";
    UninstallPreviewWindow();
}

TEST(PreviewThroughTheCore, EmbeddedWindowLivesInItsParent)
{
    InstallPreviewWindow();
    TPagesReport report;
    test::SearchablePages(report, 3);
    report.Prepare();
    report.Outlines()->Add()->SetText(QStringLiteral("Entry"));
    QWidget parent;
    auto* layout = new QVBoxLayout(&parent);
    parent.resize(700, 500);
    parent.show();
    report.PreviewParentedControlPreparedReport(&parent);
    auto* window = parent.findChild<TfrmKVPreview*>();
    ASSERT_TRUE(window);
    EXPECT_EQ(layout->indexOf(window), 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->actOutlines->isEnabled()) << "the report has outline entries";
    EXPECT_EQ(window->Preview()->Zoom(), window->Preview()->GetZoomFitToWidth());
    UninstallPreviewWindow();
}

TEST(PreviewThroughTheCore, OnPreviewReplacesTheWindow)
{
    InstallPreviewWindow();
    TPagesReport report;
    test::SearchablePages(report, 1);
    int own = 0;
    report.OnPreview = [&](QObject*) { ++own; };
    report.Preview();
    EXPECT_EQ(own, 1);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TfrmKVPreview*>(w));
    UninstallPreviewWindow();
}

} // namespace
} // namespace vorel
