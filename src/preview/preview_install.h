#pragma once
// Makes the print components' Preview, PreviewPreparedReport and the
// embedded variants open the widget preview window. Call once after the
// QApplication exists (the vorel tool does for its preview command).
// Without it, a build that links vorel_ui still previews nothing and
// Preview raises "The preview window is not available in this build".

namespace vorel {

void InstallPreviewWindow();
// Back to no preview window (the headless behaviour).
void UninstallPreviewWindow();

} // namespace vorel
