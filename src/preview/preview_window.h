#pragma once
// TfrmKVPreview: the preview window. A TKVXPreview under a toolbar (print,
// printer set-up, save, open, zoom, navigation, find, thumbnails, outlines,
// margins, grid, close) with sheet tabs for the bars of a report wider
// than the paper. Print components show it from Preview, modally or
// embedded in a parent widget; it frees itself when closed.
//
// Keys: Esc closes; Page Up, Page Down, Home and End go to the previous,
// next, first and last page; Ctrl+O opens, Ctrl+P prints, Ctrl+S saves,
// Ctrl+F finds, F3 finds the next match.

#include "preview/preview.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabBar;
class QToolBar;

namespace vorel {

enum class TPreviewIcon;

class TfrmKVPreview : public QWidget {
    Q_OBJECT
public:
    explicit TfrmKVPreview(QWidget* parent = nullptr);
    ~TfrmKVPreview() override;

    // The component whose pages are shown; enableOutlines allows the outline
    // list (the component recorded outline entries).
    void SetReport(TKVPrintBaseComponent* report, bool enableOutlines);
    TKVPrintBaseComponent* Report() const { return FReport.data(); }
    // What the window does when it is first shown: zoom to fit the width,
    // show page 1 of bar 1, the page count, and sheet tabs for two or more
    // bars. Showing the window calls it once; calling it again starts over.
    void Activate();

    TKVXPreview* Preview() const { return FPreview; }

    // The toolbar's operations, as its buttons and keys run them.
    void PrintReport();
    void PrinterSetup();
    void SavePages();
    void OpenPrepared();                        // with the file dialog
    bool OpenPreparedFile(const QString& name); // false (and a message) when it cannot be read
    void FirstPage();
    void PriorPage();
    void NextPage();
    void LastPage();
    void Find();
    void FindNext();
    // Chooses an entry of the scale list (an index into it, below), as the
    // user would.
    void ChooseScale(int index);

    // The last message the window showed (errors, "Text not found."), for
    // callers that cannot see message boxes.
    QString LastMessage() const { return FLastMessage; }

    // The scale list's entries, in order.
    static constexpr int kScalePercents[] = {500, 400, 200, 150, 100, 75, 50, 25, 10};
    enum { kScaleFitWidth = 9, kScaleFitPage = 10, kScaleCustom = 11 };

    QToolBar* tbMain = nullptr;
    QComboBox* cbScale = nullptr;
    QLineEdit* edPage = nullptr;
    QLabel* lblPageCount = nullptr;
    QTabBar* tsSheets = nullptr;
    QAction* actPrint = nullptr;
    QAction* actPrinterSetup = nullptr;
    QAction* actSave = nullptr;
    QAction* actOpen = nullptr;
    QAction* actOnePage = nullptr;
    QAction* actZoom100 = nullptr;
    QAction* actPageWidth = nullptr;
    QAction* actZoomIn = nullptr;
    QAction* actZoomOut = nullptr;
    QAction* actFirst = nullptr;
    QAction* actPrior = nullptr;
    QAction* actNext = nullptr;
    QAction* actLast = nullptr;
    QAction* actFind = nullptr;
    QAction* actThumbnails = nullptr;
    QAction* actOutlines = nullptr;
    QAction* actMargins = nullptr;
    QAction* actGrid = nullptr;
    QAction* actClose = nullptr;

Q_SIGNALS:
    // The window was closed (it is freed right after).
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class TFit { None, Width, Page };
    QAction* AddAction(int textId, TPreviewIcon icon, const char* name, bool checkable, void (TfrmKVPreview::*slot)());
    bool HandleKey(QKeyEvent* event, QObject* receiver);
    void ApplyLanguage();
    void ZoomToFit(TFit fit);
    void ZoomChanged();
    void ZoomModeToggled();
    void PageChangedInPreview();
    void BarChangedInPreview();
    void SheetChosen(int index);
    void PageEdited();
    void AttachPages();
    void UpdateNavigation();
    void UpdateSheets();
    void ShowMessage(const QString& text);
    int Lang() const;

    QPointer<TKVPrintBaseComponent> FReport;
    TKVXPreview* FPreview = nullptr;
    QLabel* FPageLabel = nullptr;
    QString FLastFileName;
    QString FLastMessage;
    TFit FFit = TFit::Width; // the fit that follows the window's size, if any
    bool FActivated = false;
    bool FSyncing = false;   // while the window itself sets the scale list or tabs
};

} // namespace vorel
