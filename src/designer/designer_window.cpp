#include "designer/designer_window.h"

#include "designer/band_panel.h"
#include "designer/collection_editor.h"
#include "designer/expression_builder.h"
#include "designer/control_clipboard.h"
#include "designer/designer.h"
#include "designer/object_explorer.h"
#include "designer/object_inspector.h"
#include "designer/ruler.h"
#include "designer/wizard_dialog.h"
#include "foundation/language/language.h"
#include "foundation/values/errors.h"
#include "model/control_registry.h"
#include "model/report.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCryptographicHash>
#include <QDir>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QListWidget>
#include <QPushButton>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vorel {

namespace {

TPrintWhenEditor& PrintWhenEditorSlot()
{
    static TPrintWhenEditor editor;
    return editor;
}

const char* const kToolbarNames[] = {"StandardToolbar", "FontToolbar", "FrameToolbar", "ElementToolbar",
                                     "AlignmentToolbar"};

const char* const kAlignTexts[kAlignCommandCount] = {
    "Align left edges",     "Align horizontal centers", "Center horizontally in window", "Space equally, horizontally",
    "Align right edges",    "Align tops",               "Align vertical centers",        "Center vertically in window",
    "Space equally, vertically", "Align bottoms"};

} // namespace

void SetPrintWhenEditor(TPrintWhenEditor editor)
{
    PrintWhenEditorSlot() = std::move(editor);
}

const TPrintWhenEditor& PrintWhenEditor()
{
    return PrintWhenEditorSlot();
}

TKVXDesignerWindow::TKVXDesignerWindow(TKVXDesigner* designer, QWidget* parent)
    : QMainWindow(parent), FDesigner(designer), FHistory(std::make_unique<TDesignHistory>(designer->Report()))
{
    FDesigner->AttachWindow(this);
    setObjectName("DesignerWindow");
    resize(1100, 760);
    FHistory->OnRestored = [this] { HistoryRestored(); };
    FHistory->OnCommitted = [this] { ScheduleExplorerRebuild(); };
    connect(FHistory->Stack(), &QUndoStack::cleanChanged, this, [this] { UpdateTitle(); });
    connect(FHistory->Stack(), &QUndoStack::indexChanged, this, [this] { UpdateTitle(); });

    FScroll = new QScrollArea(this);
    FScroll->setWidgetResizable(false);
    QPalette palette = FScroll->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(ColorToRGB(FDesigner->Options().Color) | 0xFF000000u));
    FScroll->setPalette(palette);
    FScroll->setBackgroundRole(QPalette::Window);
    FArea = new QWidget;
    FAreaLayout = new QVBoxLayout(FArea);
    FAreaLayout->setContentsMargins(12, 12, 12, 12);
    FAreaLayout->setSpacing(4);
    FAreaLayout->setSizeConstraint(QLayout::SetFixedSize);
    FScroll->setWidget(FArea);
    setCentralWidget(FScroll);

    FSelectionLabel = new QLabel(this);
    FPointerLabel = new QLabel(this);
    statusBar()->addWidget(FSelectionLabel, 1);
    statusBar()->addPermanentWidget(FPointerLabel);

    BuildActions();
    BuildDocks();
    if (TKVReport* report = Report()) {
        report->SetReportState(rsDesign);
        report->OnDesignerMessage = [this](TKVXControl* control, int message) { DesignerMessage(control, message); };
    }
    RebuildBands();
    FCurrent = Report(); // the inspector shows the report until something is chosen

    FAutoSave = new QTimer(this);
    connect(FAutoSave, &QTimer::timeout, this, [this] { WriteRecoveryFile(); });
    if (FDesigner->Options().AutoSaveSeconds > 0)
        FAutoSave->start(FDesigner->Options().AutoSaveSeconds * 1000);
    UpdateTitle();
    SelectionChanged();
}

TKVXDesignerWindow::~TKVXDesignerWindow()
{
    if (TKVReport* report = Report())
        report->OnDesignerMessage = nullptr;
    if (FDesigner->Window() == this)
        FDesigner->AttachWindow(nullptr);
}

TKVReport* TKVXDesignerWindow::Report() const
{
    return FDesigner->Report();
}

// --- building -----------------------------------------------------------------------------------

void TKVXDesignerWindow::BuildActions()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QMenu* insert = menuBar()->addMenu(tr("&Insert"));
    QMenu* format = menuBar()->addMenu(tr("F&ormat"));
    QMenu* report = menuBar()->addMenu(tr("&Report"));
    QMenu* view = menuBar()->addMenu(tr("&View"));

    auto add = [this](QMenu* menu, QToolBar* bar, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = new QAction(text, this);
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        if (menu)
            menu->addAction(action);
        if (bar)
            bar->addAction(action);
        return action;
    };

    for (const char* name : kToolbarNames) {
        QToolBar* bar = addToolBar(QString::fromLatin1(name).chopped(7));
        bar->setObjectName(name);
        FToolbars.append(bar);
    }
    QToolBar* standard = FToolbars[0];
    add(file, standard, tr("New"), QKeySequence::New, [this] {
        if (MaybeSave())
            NewReport();
    });
    add(file, standard, tr("Open..."), QKeySequence::Open, [this] {
        if (!MaybeSave())
            return;
        const QString name = QFileDialog::getOpenFileName(this, tr("Select a report file name"), QString(),
                                                          tr("Vorel file (*.kvx)"));
        if (!name.isEmpty())
            OpenFile(name);
    });
    add(file, nullptr, GetString(Report() ? Report()->GetLanguageShift() : 0, 2000), QKeySequence(),
        [this] { RunReportWizard(*this); });
    add(file, standard, tr("Save"), QKeySequence::Save, [this] {
        if (Report())
            SaveFile(Report()->GetFileName());
    });
    add(file, nullptr, tr("Save as..."), QKeySequence::SaveAs, [this] {
        if (!Report())
            return;
        const QString name = QFileDialog::getSaveFileName(this, tr("Input report file name"), Report()->GetFileName(),
                                                          tr("Vorel file (*.kvx);;All files (*)"));
        if (!name.isEmpty())
            SaveFile(name);
    });
    file->addSeparator();
    add(file, standard, tr("Preview"), QKeySequence(Qt::Key_F9), [this] { Preview(); });
    file->addSeparator();
    add(file, nullptr, tr("Close"), QKeySequence::Close, [this] { close(); });

    QAction* undo = FHistory->Stack()->createUndoAction(this, tr("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = FHistory->Stack()->createRedoAction(this, tr("Redo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addAction(undo);
    edit->addAction(redo);
    standard->addAction(undo);
    standard->addAction(redo);
    edit->addSeparator();
    add(edit, standard, tr("Cut"), QKeySequence::Cut, [this] { CutSelection(); });
    add(edit, standard, tr("Copy"), QKeySequence::Copy, [this] { CopySelection(); });
    add(edit, standard, tr("Paste"), QKeySequence::Paste, [this] { Paste(); });
    add(edit, nullptr, tr("Delete"), QKeySequence(), [this] { DeleteSelection(); });
    edit->addSeparator();
    add(edit, nullptr, tr("Select All"), QKeySequence::SelectAll, [this] { Broadcast(psSelectAll, 0); });
    add(edit, nullptr, tr("Unselect All"), QKeySequence(), [this] { Broadcast(psSelectAll, 1); });
    add(edit, nullptr, tr("Invert selection"), QKeySequence(), [this] { Broadcast(psSelectAll, 2); });
    edit->addSeparator();
    add(edit, nullptr, tr("Bring To Front"), QKeySequence(), [this] { Broadcast(psBringToFront, 0); });
    add(edit, nullptr, tr("Send To Back"), QKeySequence(), [this] { Broadcast(psSendToBack, 0); });
    add(edit, nullptr, tr("Edit properties..."), QKeySequence(Qt::Key_F11), [this] { EditProperties(); });
    add(edit, nullptr, tr("Print when..."), QKeySequence(), [this] { EditPrintWhen(); });

    // The element palette: select, band, then one tool per registered control.
    QToolBar* element = FToolbars[3];
    FTools = new QActionGroup(this);
    auto tool = [&](const QString& text, int index) {
        QAction* action = new QAction(text, this);
        action->setCheckable(true);
        action->setData(index);
        FTools->addAction(action);
        element->addAction(action);
        if (index >= 2)
            insert->addAction(action);
        connect(action, &QAction::triggered, this, [this, index] { FDesigner->Options().InsertTool = index; });
        return action;
    };
    tool(tr("Select"), 0)->setChecked(true);
    tool(tr("Band"), 1);
    const QList<TKVXControlEntry>& entries = KVXControls();
    for (int i = 0; i < entries.size(); ++i) {
        QString text = entries[i].ClassName;
        text.remove(QRegularExpression("^TKVX?"));
        QAction* action = tool(text, i + 2);
        action->setToolTip(GetString(Report() ? Report()->GetLanguageShift() : 0, entries[i].HintId));
    }
    insert->addSeparator();
    QMenu* bands = insert->addMenu(tr("Band"));
    for (int type = btReportTitle; type < KVX_BAND_TYPE_COUNT; ++type) {
        QAction* action = bands->addAction(TKVXBand::BandTypeName(TBandType(type), 0));
        connect(action, &QAction::triggered, this, [this, type] { AddBand(TBandType(type)); });
    }
    add(insert, nullptr, tr("Delete band"), QKeySequence(), [this] {
        if (auto* band = qobject_cast<TKVXBand*>(CurrentObject()))
            DeleteBand(band);
    });

    QToolBar* alignment = FToolbars[4];
    for (int i = 0; i < kAlignCommandCount; ++i)
        add(format, alignment, tr(kAlignTexts[i]), QKeySequence(), [this, i] { Align(TAlignCommand(i)); });

    // Font: name, size, style and colour of the selection.
    QToolBar* fontBar = FToolbars[1];
    auto* fontName = new QFontComboBox(fontBar);
    fontName->setObjectName("FontName");
    fontBar->addWidget(fontName);
    connect(fontName, &QFontComboBox::textActivated, this, [this](const QString& name) { Broadcast(psFontName, name); });
    auto* fontSize = new QSpinBox(fontBar);
    fontSize->setObjectName("FontSize");
    fontSize->setRange(1, 400);
    fontSize->setValue(10);
    fontBar->addWidget(fontSize);
    connect(fontSize, &QSpinBox::editingFinished, this, [this, fontSize] { Broadcast(psFontSize, fontSize->value()); });
    QList<QAction*> styleButtons;
    for (const QString& text : {tr("Bold"), tr("Italic"), tr("Underline")}) {
        QAction* action = fontBar->addAction(text);
        action->setCheckable(true);
        styleButtons.append(action);
    }
    for (QAction* action : styleButtons)
        connect(action, &QAction::triggered, this, [this, styleButtons] {
            Broadcast(psFontStyle, QVariantList{styleButtons[0]->isChecked(), styleButtons[1]->isChecked(),
                                                styleButtons[2]->isChecked()});
        });
    fontBar->addAction(tr("Font colour..."), this, [this] {
        const QColor color = QColorDialog::getColor(Qt::black, this);
        if (color.isValid())
            Broadcast(psFontColor, int(RGBColor(color.red(), color.green(), color.blue())));
    });
    add(format, nullptr, tr("Font..."), QKeySequence(), [this] { EditProperties(); });

    // Frame: the four sides, the pen width, the colour; and the background colour.
    QToolBar* frameBar = FToolbars[2];
    QList<QAction*> sides;
    for (const QString& text : {tr("Top"), tr("Left"), tr("Bottom"), tr("Right")}) {
        QAction* action = frameBar->addAction(text);
        action->setCheckable(true);
        sides.append(action);
    }
    for (QAction* action : sides)
        connect(action, &QAction::triggered, this, [this, sides] {
            Broadcast(psFrameType, QVariantList{sides[0]->isChecked(), sides[1]->isChecked(), sides[2]->isChecked(),
                                                sides[3]->isChecked()});
        });
    auto* penWidth = new QSpinBox(frameBar);
    penWidth->setObjectName("FrameWidth");
    penWidth->setRange(1, 20);
    frameBar->addWidget(penWidth);
    connect(penWidth, &QSpinBox::editingFinished, this, [this, penWidth] { Broadcast(psFramePen, penWidth->value()); });
    frameBar->addAction(tr("Frame colour..."), this, [this] {
        const QColor color = QColorDialog::getColor(Qt::black, this);
        if (color.isValid())
            Broadcast(psFrameColor, int(RGBColor(color.red(), color.green(), color.blue())));
    });
    frameBar->addAction(tr("Back colour..."), this, [this] {
        const QColor color = QColorDialog::getColor(Qt::white, this);
        if (color.isValid())
            Broadcast(psBackColor, int(RGBColor(color.red(), color.green(), color.blue())));
    });

    // Report: the report-level dialogs; the inspector shows the report's
    // every property besides.
    add(report, nullptr, tr("Report settings..."), QKeySequence(), [this] { EditReportSettings(); });
    add(report, nullptr, tr("Report properties in the inspector"), QKeySequence(), [this] {
        FDesigner->ClearSelected();
        SetCurrentObject(Report());
        EditProperties();
    });
    add(report, nullptr, tr("Page layout..."), QKeySequence(), [this] { EditPageLayout(); });
    add(report, nullptr, tr("Data sources..."), QKeySequence(), [this] { EditDataSources(); });
    add(report, nullptr, tr("Groups..."), QKeySequence(), [this] { EditGroups(); });
    add(report, nullptr, tr("Variables..."), QKeySequence(), [this] {
        EditCollection(Report(), QStringLiteral("Variables"), tr("Variables"));
    });
    add(report, nullptr, tr("Parameters..."), QKeySequence(), [this] {
        EditCollection(Report(), QStringLiteral("Parameters"), tr("Parameters"));
    });

    for (int i = 0; i < FToolbars.size(); ++i) {
        QAction* toggle = FToolbars[i]->toggleViewAction();
        view->addAction(toggle);
        FToolbars[i]->setVisible(FDesigner->Options().Toolbars & (1 << i));
        const bool flat = FDesigner->Options().Flat;
        FToolbars[i]->setStyleSheet(flat ? QString() : QStringLiteral("QToolButton { border: 1px solid #999; }"));
    }
    view->addSeparator();
    QAction* grid = view->addAction(tr("Grid"));
    grid->setCheckable(true);
    grid->setChecked(FDesigner->Options().DisplayGrid);
    connect(grid, &QAction::toggled, this, [this](bool on) {
        FDesigner->Options().DisplayGrid = on;
        for (TBandPanel* panel : FPanels)
            panel->update();
    });
    QAction* snap = view->addAction(tr("Snap to grid"));
    snap->setCheckable(true);
    snap->setChecked(FDesigner->Options().SnapToGrid);
    connect(snap, &QAction::toggled, this, [this](bool on) { FDesigner->Options().SnapToGrid = on; });
    QAction* rulers = view->addAction(tr("Rulers"));
    rulers->setObjectName("RulersAction");
    rulers->setCheckable(true);
    rulers->setChecked(FDesigner->Options().ShowRulers);
    connect(rulers, &QAction::toggled, this, [this](bool on) { SetRulersVisible(on); });
    QMenu* units = view->addMenu(tr("Ruler unit"));
    auto* unitGroup = new QActionGroup(this);
    const QString unitNames[kRulerUnitCount] = {tr("Pixels"), tr("Millimetres"), tr("Inches")};
    for (int unit = 0; unit < kRulerUnitCount; ++unit) {
        QAction* action = units->addAction(unitNames[unit]);
        action->setObjectName(QStringLiteral("RulerUnit%1").arg(unit));
        action->setCheckable(true);
        action->setChecked(FDesigner->Options().RulerUnit == unit);
        unitGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, unit] {
            FDesigner->Options().RulerUnit = unit;
            for (TRuler* ruler : FRulers)
                ruler->SetUnit(TRulerUnit(unit));
        });
    }
    FDesigner->Options().InsertTool = 0;
    (void)&TKVXDesignerWindow::BuildToolbars;
    (void)&TKVXDesignerWindow::BuildMenus;
}

void TKVXDesignerWindow::BuildToolbars() {}
void TKVXDesignerWindow::BuildMenus() {}

void TKVXDesignerWindow::BuildDocks()
{
    FInspector = new TObjectInspector(this);
    auto* inspectorDock = new QDockWidget(tr("Object inspector"), this);
    inspectorDock->setObjectName("InspectorDock");
    inspectorDock->setWidget(FInspector);
    addDockWidget(Qt::RightDockWidgetArea, inspectorDock);
    inspectorDock->setVisible(FDesigner->Options().ShowInspector);

    FExplorer = new TObjectExplorer(this);
    auto* explorerDock = new QDockWidget(tr("Object explorer"), this);
    explorerDock->setObjectName("ExplorerDock");
    explorerDock->setWidget(FExplorer);
    addDockWidget(Qt::LeftDockWidgetArea, explorerDock);
    explorerDock->setVisible(FDesigner->Options().ShowExplorer);
}

// --- the design area ----------------------------------------------------------------------------

void TKVXDesignerWindow::RebuildBands()
{
    for (QWidget* widget : FTitles)
        delete widget;
    FTitles.clear();
    for (TRuler* ruler : FRulers)
        delete ruler;
    FRulers.clear();
    for (TBandPanel* panel : FPanels)
        delete panel;
    FPanels.clear();
    // The rows (a ruler beside a band) are layouts of their own.
    while (QLayoutItem* item = FAreaLayout->takeAt(0))
        delete item; // a row's layout is the item itself; its widgets went above
    TKVReport* report = Report();
    if (!report)
        return;
    const TKVXDOptions& options = FDesigner->Options();
    const bool rulers = options.ShowRulers;
    const auto unit = TRulerUnit(options.RulerUnit);
    const QColor background = QColor::fromRgb(ColorToRGB(options.Color) | 0xFF000000u);
    auto row = [this, rulers](QWidget* beside, QWidget* widget) {
        auto* line = new QHBoxLayout;
        line->setSpacing(0);
        line->setContentsMargins(0, 0, 0, 0);
        if (beside)
            line->addWidget(beside);
        else if (rulers)
            line->addSpacing(kRulerThickness);
        line->addWidget(widget, 0, Qt::AlignLeft);
        line->addStretch(1);
        FAreaLayout->addLayout(line);
    };
    TRuler* horizontal = nullptr;
    if (rulers) {
        horizontal = new TRuler(Qt::Horizontal, FArea);
        horizontal->SetUnit(unit);
        horizontal->SetBackground(background);
        horizontal->SetPrintable(PrintableWidth(report));
        FRulers.append(horizontal);
        row(nullptr, horizontal);
    }
    for (TKVXBand* band : report->Bands()) {
        if (options.ShowBandTitle) {
            auto* title = new QLabel(band->DisplayName(), FArea);
            title->setStyleSheet("QLabel { background: #f0f0f0; color: #333; padding: 1px 4px; }");
            row(nullptr, title);
            FTitles.append(title);
        }
        auto* panel = new TBandPanel(this, band, FArea);
        TRuler* vertical = nullptr;
        if (rulers) {
            vertical = new TRuler(Qt::Vertical, FArea);
            vertical->SetUnit(unit);
            vertical->SetBackground(background);
            FRulers.append(vertical);
        }
        row(vertical, panel);
        FPanels.append(panel);
    }
    SyncRulerWidth();
    FArea->adjustSize();
    ScheduleExplorerRebuild();
}

void TKVXDesignerWindow::SyncRulerWidth()
{
    if (FRulers.isEmpty() || FRulers.first()->Orientation() != Qt::Horizontal)
        return;
    TRuler* horizontal = FRulers.first();
    int widest = horizontal->Printable() + 1; // the end margin shows
    for (const TBandPanel* panel : FPanels)
        widest = std::max(widest, panel->width());
    horizontal->setFixedWidth(widest);
}

void TKVXDesignerWindow::SetRulersVisible(bool visible)
{
    if (FDesigner->Options().ShowRulers == visible)
        return;
    FDesigner->Options().ShowRulers = visible;
    RebuildBands();
}

bool TKVXDesignerWindow::RulersVisible() const
{
    return FDesigner->Options().ShowRulers;
}

void TKVXDesignerWindow::ScheduleExplorerRebuild()
{
    if (!FExplorer || FExplorerPending)
        return;
    FExplorerPending = true;
    QTimer::singleShot(0, this, [this] {
        FExplorerPending = false;
        FExplorer->Rebuild();
    });
}

TBandPanel* TKVXDesignerWindow::PanelOf(const TKVXBand* band) const
{
    for (TBandPanel* panel : FPanels)
        if (panel->Band() == band)
            return panel;
    return nullptr;
}

void TKVXDesignerWindow::DesignerMessage(TKVXControl* control, int message)
{
    if (!control)
        return;
    auto* band = qobject_cast<TKVXBand*>(control);
    TKVXBand* owner = band ? band : control->GetParentBand();
    TBandPanel* panel = PanelOf(owner);
    if (message == KVX_MSG_ELEMENT_ADDED)
        ScheduleExplorerRebuild();
    if (!panel)
        return;
    if (band || control->Left() + control->Width() >= panel->width()) {
        panel->SyncSize();
        SyncRulerWidth();
    }
    panel->update();
}

void TKVXDesignerWindow::HistoryRestored()
{
    // Bands may have been recreated: build the area again. Controls made
    // again (an undone delete) come back selected, as they went.
    RebuildBands();
    const QList<TKVXControl*> recreated = FHistory->Recreated();
    if (!recreated.isEmpty()) {
        for (TKVXControl* control : SelectedControls(Report()))
            control->SetSelected(false);
        for (TKVXControl* control : recreated)
            control->SetSelected(true);
    }
    FDesigner->SyncSelection();
}

void TKVXDesignerWindow::SetCurrentObject(QObject* object)
{
    // A band or the report chosen on its own: the inspector shows it alone.
    const bool plainControl = qobject_cast<TKVXControl*>(object) && !qobject_cast<TKVXBand*>(object);
    if (plainControl)
        return; // controls are chosen through the selection
    // The inspector shows it while no control is selected.
    FCurrent = object;
    SelectionChanged();
    for (TBandPanel* panel : FPanels)
        panel->update();
}

QObject* TKVXDesignerWindow::CurrentObject() const
{
    return FCurrent.data();
}

void TKVXDesignerWindow::SelectionChanged()
{
    if (FSyncing)
        return;
    FSyncing = true;
    if (FInspector) {
        QList<QObject*> objects;
        for (int i = 0; i < FDesigner->SelectedCount(); ++i)
            objects.append(FDesigner->GetSelected(i));
        if (objects.isEmpty() && FCurrent)
            objects.append(FCurrent.data());
        FInspector->ShowObjects(objects);
    }
    if (FExplorer)
        FExplorer->ShowSelection();
    FSelectionLabel->setText(SelectionStatus());
    FSyncing = false;
}

QString TKVXDesignerWindow::SelectionStatus() const
{
    const TKVXControl* c = FDesigner->GetSelected(0);
    if (!c)
        return QString();
    return QStringLiteral("(L:%1,T:%2),(W:%3,H:%4)").arg(c->Left()).arg(c->Top()).arg(c->Width()).arg(c->Height());
}

void TKVXDesignerWindow::ShowPointer(QPoint bandPoint, const QString& objectName)
{
    FPointerLabel->setText(QStringLiteral("X:%1,Y:%2     %3").arg(bandPoint.x()).arg(bandPoint.y()).arg(objectName));
    FSelectionLabel->setText(SelectionStatus());
}

QString TKVXDesignerWindow::PointerStatus() const
{
    return FPointerLabel->text();
}

// --- commands -----------------------------------------------------------------------------------

void TKVXDesignerWindow::Align(TAlignCommand command)
{
    const QList<TKVXControl*> selected = SelectedControls(Report());
    if (selected.isEmpty())
        return;
    TEditScope edit(FHistory.get(), tr(kAlignTexts[command]), selected);
    AlignControls(selected, command);
    SelectionChanged();
}

void TKVXDesignerWindow::Broadcast(TPropertySet member, const QVariant& value, const QVariant& value2)
{
    if (member == psSelectAll) {
        FDesigner->SelectElements(value.toInt());
        return;
    }
    TEditScope edit(FHistory.get(), tr("Change"), SelectedControls(Report()));
    BroadcastProperty(Report(), member, value, value2);
    if (member == psBringToFront || member == psSendToBack)
        for (TBandPanel* panel : FPanels)
            panel->update();
    SelectionChanged();
}

void TKVXDesignerWindow::Nudge(int dx, int dy, bool resize)
{
    const QList<TKVXControl*> selected = SelectedControls(Report());
    if (selected.isEmpty())
        return;
    TEditScope edit(FHistory.get(), resize ? tr("Size") : tr("Move"), selected);
    NudgeControls(selected, dx, dy, resize);
    SelectionChanged();
}

void TKVXDesignerWindow::CopySelection()
{
    CopySelectedControls(Report());
}

void TKVXDesignerWindow::CutSelection()
{
    if (CopySelectedControls(Report()) > 0)
        DeleteSelection();
}

TKVXBand* TKVXDesignerWindow::TargetBand() const
{
    if (const TKVXControl* c = FDesigner->GetSelected(0))
        return c->GetParentBand();
    if (auto* band = qobject_cast<TKVXBand*>(FCurrent.data()))
        return band;
    return Report() ? Report()->GetBand(0) : nullptr;
}

void TKVXDesignerWindow::Paste(TKVXBand* band)
{
    if (!band)
        band = TargetBand();
    if (!band || ControlClipboard().isEmpty())
        return;
    QList<TKVXControl*> made;
    {
        TEditScope edit(FHistory.get(), tr("Paste"), {});
        try {
            made = PasteControls(band);
        } catch (const std::exception& e) {
            if (ShowError)
                ShowError(QString::fromUtf8(e.what()));
            else
                QMessageBox::warning(this, windowTitle(), QString::fromUtf8(e.what()));
        }
    }
    FDesigner->SyncSelection();
    ScheduleExplorerRebuild();
}

void TKVXDesignerWindow::DeleteSelection()
{
    const QList<TKVXControl*> selected = SelectedControls(Report());
    if (selected.isEmpty())
        return;
    {
        TEditScope edit(FHistory.get(), tr("Delete"), {});
        for (TKVXControl* c : selected) {
            FHistory->NoteDeleting(c);
            delete c;
        }
    }
    FDesigner->SyncSelection();
    ScheduleExplorerRebuild();
    for (TBandPanel* panel : FPanels)
        panel->update();
}

void TKVXDesignerWindow::AddBand(TBandType type)
{
    if (!Report())
        return;
    {
        TEditScope edit(FHistory.get(), tr("Add band"), {});
        Report()->AddBand(type, true);
    }
    RebuildBands();
}

void TKVXDesignerWindow::DeleteBand(TKVXBand* band)
{
    if (!band || !Report())
        return;
    {
        TEditScope edit(FHistory.get(), tr("Delete band"), {});
        FHistory->NoteDeleting(band);
        Report()->DeleteBand(band->GetBandIndex());
    }
    FCurrent = nullptr;
    RebuildBands();
    FDesigner->SyncSelection();
}

void TKVXDesignerWindow::SetPropertyOnSelection(const QString& path, const QVariant& value)
{
    QList<QObject*> targets;
    for (int i = 0; i < FDesigner->SelectedCount(); ++i)
        targets.append(FDesigner->GetSelected(i));
    if (targets.isEmpty() && FCurrent)
        targets.append(FCurrent.data());
    if (targets.isEmpty())
        return;
    {
        QList<TKVXControl*> controls;
        for (QObject* target : targets)
            if (auto* control = qobject_cast<TKVXControl*>(target); control && !qobject_cast<TKVXBand*>(target))
                controls.append(control);
        TEditScope edit(FHistory.get(), tr("Set %1").arg(path), controls);
        for (QObject* target : targets) {
            RestoreProperties(target, QVariantMap{{path, value}});
            if (auto* control = qobject_cast<TKVXControl*>(target))
                control->update();
        }
    }
    for (TBandPanel* panel : FPanels)
        panel->SyncSize();
    SyncRulerWidth();
    SelectionChanged();
}

TKVXControl* TKVXDesignerWindow::InsertControl(TKVXBand* band, QPoint point)
{
    TKVXDOptions& options = FDesigner->Options();
    const int entry = options.InsertTool - 2;
    options.InsertTool = 0;
    if (FTools)
        FTools->actions().first()->setChecked(true);
    const QList<TKVXControlEntry>& entries = KVXControls();
    // A tool index the registry no longer has (a control unregistered since
    // the palette was built) inserts nothing.
    if (!band || entry < 0 || entry >= entries.size())
        return nullptr;
    TKVXControl* control = nullptr;
    {
        TEditScope edit(FHistory.get(), tr("Insert"), {});
        control = band->Object(band->AddElement(entries[entry].ControlClass));
        if (control) {
            int left = point.x(), top = point.y();
            if (options.SnapToGrid) {
                left = SnapToGrid(left, options.GridSizeX());
                top = SnapToGrid(top, options.GridSizeY());
            }
            control->SetLeft(left);
            control->SetTop(top);
            FitIntoBands(control);
        }
    }
    if (control) {
        FDesigner->ClearSelected();
        FDesigner->AddSelected(control);
    }
    ScheduleExplorerRebuild();
    return control;
}

void TKVXDesignerWindow::EditProperties()
{
    if (auto* dock = qobject_cast<QDockWidget*>(FInspector->parentWidget())) {
        dock->show();
        dock->raise();
    }
    SelectionChanged();
    FInspector->setFocus();
}

void TKVXDesignerWindow::EditPrintWhen()
{
    TKVXControl* control = FDesigner->GetSelected(0);
    if (!control)
        control = qobject_cast<TKVXControl*>(FCurrent.data());
    if (!control)
        return;
    const TPrintWhenEditor& editor = PrintWhenEditor();
    if (!editor) {
        statusBar()->showMessage(tr("The print-when dialog is not available in this build; edit KVPrintWhen in "
                                    "the object inspector."),
                                 8000);
        return;
    }
    TEditScope edit(FHistory.get(), tr("Print when"), {control});
    editor(this, control);
}

bool TKVXDesignerWindow::EditCollection(QObject* owner, const QString& path, const QString& title)
{
    if (!owner)
        return false;
    auto* collection = qobject_cast<TCollection*>(owner->property(path.toLatin1().constData()).value<QObject*>());
    if (!collection)
        return false;
    TCollectionEditor editor(collection, title, this);
    if (editor.exec() != QDialog::Accepted)
        return false;
    {
        auto* control = qobject_cast<TKVXControl*>(owner);
        TEditScope edit(FHistory.get(), title,
                        control && !qobject_cast<TKVXBand*>(owner) ? QList<TKVXControl*>{control} : QList<TKVXControl*>{});
        RestoreProperties(owner, QVariantMap{{path, editor.Items()}});
    }
    SelectionChanged();
    return true;
}

void TKVXDesignerWindow::AddGroup(const QString& expression)
{
    if (!Report() || expression.trimmed().isEmpty())
        return;
    {
        TEditScope edit(FHistory.get(), tr("Add group"), {});
        int header = 0, footer = 0;
        Report()->AddGroup(header, footer, false, false, false, 0, expression);
    }
    RebuildBands();
}

void TKVXDesignerWindow::RemoveGroup(const QString& expression)
{
    if (!Report())
        return;
    {
        TEditScope edit(FHistory.get(), tr("Remove group"), {});
        for (TKVXBand* band : Report()->Bands())
            if (band->GetIsGroup() && band->Expression().compare(expression, Qt::CaseInsensitive) == 0)
                FHistory->NoteDeleting(band);
        Report()->DeleteGroup(expression);
    }
    FCurrent = nullptr;
    RebuildBands();
    FDesigner->SyncSelection();
}

void TKVXDesignerWindow::EditGroups()
{
    if (!Report())
        return;
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Groups"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    layout->addWidget(list);
    auto fill = [this, list] {
        list->clear();
        TStringList groups;
        Report()->AssignGroups(true, &groups);
        list->addItems(groups.List());
    };
    fill();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* add = buttons->addButton(tr("Add..."), QDialogButtonBox::ActionRole);
    QPushButton* remove = buttons->addButton(tr("Remove"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(add, &QPushButton::clicked, &dialog, [this, &dialog, fill] {
        TExpressionBuilder builder(Report(), QString(), &dialog);
        builder.setWindowTitle(tr("Group expression"));
        if (builder.exec() == QDialog::Accepted) {
            AddGroup(builder.Expression());
            fill();
        }
    });
    connect(remove, &QPushButton::clicked, &dialog, [this, list, fill] {
        if (QListWidgetItem* item = list->currentItem()) {
            RemoveGroup(item->text());
            fill();
        }
    });
    dialog.exec();
}

void TKVXDesignerWindow::Preview()
{
    TKVReport* report = Report();
    if (!report)
        return;
    try {
        report->Preview();
    } catch (const std::exception& e) {
        if (ShowError)
            ShowError(QString::fromUtf8(e.what()));
        else
            QMessageBox::information(this, tr("Preview"), QString::fromUtf8(e.what()));
    }
    report->SetReportState(rsDesign);
    for (TBandPanel* panel : FPanels)
        panel->update();
}

void TKVXDesignerWindow::ShowControlPopup(TKVXControl* control, QPoint globalPos)
{
    Q_UNUSED(control);
    QMenu menu(this);
    menu.addAction(tr("Bring To Front"), this, [this] { Broadcast(psBringToFront, 0); });
    menu.addAction(tr("Send To Back"), this, [this] { Broadcast(psSendToBack, 0); });
    menu.addAction(tr("Edit properties..."), this, [this] { EditProperties(); });
    menu.addAction(tr("Sizes..."), this, [this] { EditProperties(); });
    menu.addAction(tr("Cut"), this, [this] { CutSelection(); });
    menu.addAction(tr("Copy"), this, [this] { CopySelection(); });
    menu.addAction(tr("Paste"), this, [this] { Paste(); });
    menu.addAction(tr("Delete"), this, [this] { DeleteSelection(); });
    menu.addAction(tr("Select All"), this, [this] { Broadcast(psSelectAll, 0); });
    menu.addAction(tr("Unselect All"), this, [this] { Broadcast(psSelectAll, 1); });
    menu.addAction(tr("Invert selection"), this, [this] { Broadcast(psSelectAll, 2); });
    menu.addAction(tr("Font..."), this, [this] { EditProperties(); });
    menu.addAction(tr("Print when..."), this, [this] { EditPrintWhen(); });
    menu.exec(globalPos);
}

bool TKVXDesignerWindow::HandleKey(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    case Qt::Key_Delete:
        DeleteSelection();
        return true;
    default:
        return false;
    }
    if (!ctrl && !shift)
        return false;
    Nudge(dx, dy, shift); // with both held, Shift (sizing) wins
    return true;
}

void TKVXDesignerWindow::keyPressEvent(QKeyEvent* event)
{
    if (!HandleKey(event))
        QMainWindow::keyPressEvent(event);
}

} // namespace vorel
