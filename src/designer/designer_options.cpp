#include "designer/designer_options.h"

#include "foundation/version.h"

#include <QSettings>

namespace vorel {

void TKVXDOptions::Save(QSettings& settings) const
{
    settings.setValue("Version", QStringLiteral(VOREL_VERSION_STRING));
    settings.setValue("DisplayGrid", DisplayGrid);
    settings.setValue("SnapToGrid", SnapToGrid);
    settings.setValue("GridSizeX", FGridSizeX);
    settings.setValue("GridSizeY", FGridSizeY);
    settings.setValue("ShowBandTitle", ShowBandTitle);
    settings.setValue("AutoSaveOptions", AutoSaveOptions);
    settings.setValue("CreateBackup", CreateBackup);
    settings.setValue("ShowExplorer", ShowExplorer);
    settings.setValue("ShowInspector", ShowInspector);
    settings.setValue("Color", int(Color));
    settings.setValue("Flat", Flat);
    settings.setValue("Toolbars", Toolbars);
    settings.setValue("AutoSaveSeconds", AutoSaveSeconds);
    settings.setValue("ShowRulers", ShowRulers);
    settings.setValue("RulerUnit", RulerUnit);
}

void TKVXDOptions::Load(QSettings& settings)
{
    auto readBool = [&](const char* key, bool& target) {
        if (settings.contains(key))
            target = settings.value(key).toBool();
    };
    auto readInt = [&](const char* key, int& target) {
        bool ok = false;
        const int value = settings.value(key).toInt(&ok);
        if (settings.contains(key) && ok)
            target = value;
    };
    readBool("DisplayGrid", DisplayGrid);
    readBool("SnapToGrid", SnapToGrid);
    int gridX = FGridSizeX, gridY = FGridSizeY;
    readInt("GridSizeX", gridX);
    readInt("GridSizeY", gridY);
    SetGridSizeX(gridX);
    SetGridSizeY(gridY);
    readBool("ShowBandTitle", ShowBandTitle);
    readBool("AutoSaveOptions", AutoSaveOptions);
    readBool("CreateBackup", CreateBackup);
    readBool("ShowExplorer", ShowExplorer);
    readBool("ShowInspector", ShowInspector);
    int color = int(Color);
    readInt("Color", color);
    Color = TColor(color);
    readBool("Flat", Flat);
    readInt("Toolbars", Toolbars);
    Toolbars &= kAllToolbars;
    readInt("AutoSaveSeconds", AutoSaveSeconds);
    if (AutoSaveSeconds < 0)
        AutoSaveSeconds = 0;
    readBool("ShowRulers", ShowRulers);
    readInt("RulerUnit", RulerUnit);
    if (RulerUnit < 0 || RulerUnit > 2)
        RulerUnit = 0;
}

QString DesignerSettingsOrganisation()
{
    return QStringLiteral("Tarnwick");
}

QString DesignerSettingsApplication()
{
    return QStringLiteral("Vorel/Designer");
}

} // namespace vorel
