#pragma once
// TKVXDOptions: the designer's preferences, and the layout they are kept
// with in the per-user settings (organisation "Tarnwick", application
// "Vorel/Designer": QSettings stands in for the classic registry key).

#include "foundation/records/font.h"

#include <QString>

class QSettings;

namespace vorel {

// The visible toolbars (bits of TKVXDOptions::Toolbars).
enum TKVXDToolbar : int { rtStandard = 1, rtFont = 2, rtFrame = 4, rtElement = 8, rtAlignment = 16 };
constexpr int kAllToolbars = rtStandard | rtFont | rtFrame | rtElement | rtAlignment; // 31

class TKVXDOptions {
public:
    bool DisplayGrid = true;
    bool SnapToGrid = false;
    bool ShowBandTitle = false;
    bool Flat = true;
    bool AutoSaveOptions = false;
    bool CreateBackup = false;
    bool ShowExplorer = false;
    bool ShowInspector = true;
    int Toolbars = kAllToolbars;
    TColor Color = TColor(0xDDDDDD); // background of the design area and rulers
    // Seconds between two writes of the recovery file while the report has
    // unsaved changes; 0 turns autosave off.
    int AutoSaveSeconds = 60;
    // The rulers above and beside the bands, and their unit (TRulerUnit:
    // 0 report pixels, 1 millimetres, 2 inches).
    bool ShowRulers = true;
    int RulerUnit = 0;

    // Grid steps in report pixels. A step below 1 (from the settings, an
    // application or the inspector) is taken as 1: painting and snapping
    // divide by it.
    int GridSizeX() const { return FGridSizeX; }
    int GridSizeY() const { return FGridSizeY; }
    void SetGridSizeX(int value) { FGridSizeX = value < 1 ? 1 : value; }
    void SetGridSizeY(int value) { FGridSizeY = value < 1 ? 1 : value; }

    // The insertion tool: 0 select, 1 band tool, k >= 2 the (k-2)-th entry of
    // the control registry. Not stored.
    int InsertTool = 0;

    // The values by the names the classic registry layout uses; loading
    // reads what is present and keeps the rest.
    void Save(QSettings& settings) const;
    void Load(QSettings& settings);

private:
    int FGridSizeX = 8;
    int FGridSizeY = 8;
};

// The settings object of the designer's preferences (organisation
// "Tarnwick", application "Vorel/Designer").
QString DesignerSettingsOrganisation();
QString DesignerSettingsApplication();

} // namespace vorel
