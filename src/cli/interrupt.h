#pragma once
// Ctrl-C (SIGINT) and SIGTERM while the tool works. The first signal
// cancels the running preparation or export as the progress dialog's Cancel
// button would, so the tool stops at the next page and writes nothing; a
// second one ends the process at once, after removing what it had staged.
//
// The signals are blocked in every thread from the start of main and taken
// by one watcher thread with sigwait: the watcher runs ordinary code (it may
// lock, allocate and remove files), which a signal handler could not.

#include <functional>
#include <mutex>

namespace vorel::cli {

// Exit code of a run ended by the user (128 + SIGINT, as shells report it).
inline constexpr int kExitInterrupted = 130;

// First thing in main, before any thread exists: threads started later
// inherit the blocked signals.
void BlockInterruptSignals();
// For commands that do not watch: Ctrl-C ends them as it ends any program.
void UnblockInterruptSignals();
// Starts the watcher (once). The second signal writes `message` (one line)
// on standard error before the process ends.
void WatchInterrupts(const char* message);
// True once a signal arrived.
bool Interrupted();

// What the second signal removes before the process ends (the staged
// output); an empty function removes nothing. The watcher runs it holding
// InterruptLock.
void SetInterruptCleanup(std::function<void()> cleanup);
// Runs the cleanup now, if it is still set, and clears it, holding
// InterruptLock: a run that ends without its output removes what it staged
// this way, so that a second signal arriving meanwhile waits for the removal
// instead of ending the process in the middle of it.
void RunInterruptCleanup();
// Held while the finished output is moved into place, so that a second
// signal neither removes half of it nor ends the process in the middle.
std::mutex& InterruptLock();
// Called holding InterruptLock once the output is in place: later signals
// are ignored, the run has done its work.
void InterruptsDone();

} // namespace vorel::cli
