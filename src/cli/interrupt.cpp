#include "cli/interrupt.h"

#include "foundation/user_interface.h"

#include <atomic>
#include <csignal>

namespace vorel::cli {

namespace {

std::atomic<bool> gInterrupted{false};
THeadlessUserInterface* gInterface = nullptr; // looked up before any signal can arrive

extern "C" void OnInterrupt(int signalNumber)
{
    if (gInterrupted.exchange(true)) {
        // The second signal: the user insists.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    if (gInterface)
        gInterface->RequestCancel(); // only stores an atomic flag
}

} // namespace

void InstallInterruptHandler()
{
    gInterface = HeadlessUserInterface();
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted()
{
    return gInterrupted.load();
}

} // namespace vorel::cli
