#pragma once
// One call that gives an application (or the tool's window commands) the
// whole widget side: the dialogs of the user-interface interface, the
// preview window behind Preview, and the print-when dialog the designer
// opens. Call once after the QApplication exists; Uninstall returns to the
// headless behaviour (before the QApplication goes).

namespace vorel {

void InstallWidgetUserInterface();
void UninstallWidgetUserInterface();

// Installed for the lifetime of the scope (also when it is left by an
// error).
struct TWidgetUserInterfaceScope {
    TWidgetUserInterfaceScope() { InstallWidgetUserInterface(); }
    ~TWidgetUserInterfaceScope() { UninstallWidgetUserInterface(); }
    TWidgetUserInterfaceScope(const TWidgetUserInterfaceScope&) = delete;
    TWidgetUserInterfaceScope& operator=(const TWidgetUserInterfaceScope&) = delete;
};

} // namespace vorel
