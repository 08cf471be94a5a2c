#pragma once
// Ctrl-C (SIGINT) and SIGTERM while the tool works: the first signal
// cancels the running preparation or export as the progress dialog's Cancel
// button would, so the tool stops at the next page and writes nothing
// partial; a second one ends the process at once.

namespace vorel::cli {

// Exit code of a run ended by the user (128 + SIGINT, as shells report it).
inline constexpr int kExitInterrupted = 130;

void InstallInterruptHandler();
// True once a signal arrived.
bool Interrupted();

} // namespace vorel::cli
