// The headless progress display: one line on a terminal, silence
// elsewhere, cancellation from code.

#include "frame/user_interface.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace vorel;

namespace {

class HeadlessProgressTest : public ::testing::Test {
protected:
    THeadlessUserInterface ui;
    QByteArray written;
    int writes = 0;

    void Attach(bool terminal, int columns = 0)
    {
        ui.SetProgressOutput(
            [this](const QByteArray& bytes) {
                written += bytes;
                ++writes;
            },
            terminal, columns);
        ui.SetProgressInterval(0);
    }
};

} // namespace

TEST_F(HeadlessProgressTest, SilentWhenNotATerminal)
{
    Attach(false);
    EXPECT_TRUE(ui.CreateProgressDlg(0, QStringLiteral("Sales"), QStringLiteral("Preparing..."), QStringLiteral("&Cancel"), 0, 0, 100));
    EXPECT_TRUE(ui.UpdateProgressDlg(QStringLiteral("Preparing page 1 on the bar 1..."), 0));
    EXPECT_TRUE(ui.DestroyProgressDlg());
    EXPECT_EQ(writes, 0);
}

TEST_F(HeadlessProgressTest, OneLineRewrittenInPlaceAndClearedAtTheEnd)
{
    Attach(true);
    ui.CreateProgressDlg(0, QStringLiteral("Sales"), QStringLiteral("Preparing..."), QStringLiteral("&Cancel"), 0, 0, 100);
    ui.UpdateProgressDlg(QStringLiteral("Preparing page 1 on the bar 1..."), 0);
    ui.DestroyProgressDlg();
    EXPECT_EQ(written, QByteArray("\rSales: Preparing...\x1b[K"
                                  "\rSales: Preparing page 1 on the bar 1...\x1b[K"
                                  "\r\x1b[K"));
    EXPECT_FALSE(ui.DestroyProgressDlg()) << "no dialog any more";
    EXPECT_FALSE(ui.UpdateProgressDlg(QStringLiteral("x"), 1));
}

TEST_F(HeadlessProgressTest, LineText)
{
    TProgressState s;
    s.Caption = QStringLiteral("Sales");
    s.Status = QStringLiteral("Second pass: Preparing page 3 on the bar 1...");
    EXPECT_EQ(THeadlessUserInterface::ProgressLine(s), u"Sales: Second pass: Preparing page 3 on the bar 1...")
        << "no range, no percentage (the bar is hidden)";
    s.Max = 8;
    s.Position = 2;
    EXPECT_EQ(THeadlessUserInterface::ProgressLine(s), u"Sales: Second pass: Preparing page 3 on the bar 1... 25%");
    s.Position = 100; // the creation position, above the range
    EXPECT_TRUE(THeadlessUserInterface::ProgressLine(s).endsWith(QStringLiteral(" 100%")));
    s.Caption.clear();
    s.Max = 0;
    EXPECT_EQ(THeadlessUserInterface::ProgressLine(s), s.Status);
}

TEST_F(HeadlessProgressTest, LongLinesAreCutToTheTerminalWidth)
{
    Attach(true, 20);
    ui.CreateProgressDlg(0, QStringLiteral("A long caption"), QStringLiteral("and a long status text"), QString(), 0, 0, 0);
    EXPECT_EQ(written, QByteArray("\rA long caption: and\x1b[K"));
}

TEST_F(HeadlessProgressTest, UpdatesAreThrottledButTheFirstIsAlwaysShown)
{
    Attach(true);
    ui.SetProgressInterval(60'000);
    ui.CreateProgressDlg(0, QString(), QStringLiteral("start"), QString(), 0, 0, 0);
    for (int i = 0; i < 1000; ++i)
        ui.UpdateProgressDlg(QStringLiteral("page %1").arg(i), i);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(ui.Progress().Status, u"page 999") << "the state is kept even when not written";
}

TEST_F(HeadlessProgressTest, CancelFromCode)
{
    Attach(false);
    EXPECT_FALSE(ui.ProgressCanceled());
    ui.RequestCancel();
    EXPECT_FALSE(ui.ProgressCanceled()) << "no dialog, nothing to cancel";
    ui.CreateProgressDlg(0, QString(), QString(), QString(), 0, 0, 0);
    EXPECT_FALSE(ui.ProgressCanceled()) << "a new dialog starts uncancelled";
    ui.RequestCancel();
    EXPECT_TRUE(ui.ProgressCanceled());
    ui.CreateProgressDlg(0, QString(), QString(), QString(), 0, 0, 0);
    EXPECT_FALSE(ui.ProgressCanceled());
    ui.RequestCancel();
    ui.DestroyProgressDlg();
    EXPECT_FALSE(ui.ProgressCanceled());
}

TEST_F(HeadlessProgressTest, ModalCallbackRunsOnceAndClosesTheDialogEvenWhenItRaises)
{
    Attach(true);
    ui.CreateProgressDlg(0, QString(), QStringLiteral("Preparing..."), QString(), 0, 0, 0);
    int runs = 0;
    ui.ShowModalCallBack([&] {
        ++runs;
        EXPECT_TRUE(ui.Progress().Visible);
    });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(ui.Progress().Exists);
    EXPECT_FALSE(ui.Progress().Visible) << "closed like a modal form, not destroyed";
    EXPECT_TRUE(written.endsWith("\r\x1b[K"));

    EXPECT_THROW(ui.ShowModalCallBack([] { throw std::runtime_error("generation failed"); }), std::runtime_error);
    EXPECT_FALSE(ui.Progress().Visible);
    ui.UpdateProgressDlg(QStringLiteral("again"), 0);
    EXPECT_TRUE(ui.Progress().Visible) << "an update shows a hidden dialog";

    // Without any dialog the callback still runs.
    ui.DestroyProgressDlg();
    runs = 0;
    ui.ShowModalCallBack([&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

TEST(UserInterfaceDefaults, AnInterfaceWithoutProgressShowsNothingAndRunsCallbacks)
{
    struct Minimal : TKVXUserInterface {
        TDialogResult ShowParameterDialog(TParameterDialogModel&) override { return TDialogResult::Skipped; }
    } minimal;
    SetUserInterface(&minimal);
    EXPECT_FALSE(CreateProgressDlg(0, QString(), QString(), QString(), 0, 0, 0));
    EXPECT_FALSE(UpdateProgressDlg(QString(), 0));
    EXPECT_FALSE(ProgressCanceled());
    int runs = 0;
    ShowModalCallBack([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(DestroyProgressDlg());
    SetUserInterface(nullptr);
}
