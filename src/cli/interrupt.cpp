#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <thread>
#include <utility>
#include <unistd.h>

namespace vorel::cli {

namespace {

std::atomic<bool> gInterrupted{false};
std::mutex gLock;
std::function<void()> gCleanup; // guarded by gLock
bool gDone = false;             // guarded by gLock

sigset_t InterruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void WriteAll(const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= std::size_t(n);
    }
}

void Watch(const char* message)
{
    const sigset_t set = InterruptSignals();
    for (;;) {
        int signalNumber = 0;
        if (sigwait(&set, &signalNumber) != 0)
            continue;
        if (!gInterrupted.exchange(true))
            continue; // the first: the work loops see Interrupted() and stop
        // The second: the user insists.
        std::lock_guard<std::mutex> lock(gLock);
        if (gDone)
            continue; // the output is in place; the run ends by itself
        if (gCleanup)
            gCleanup();
        // A progress line may stand half-written on the terminal.
        if (isatty(STDERR_FILENO) == 1)
            WriteAll("\r\x1b[K");
        WriteAll(message);
        _exit(kExitInterrupted);
    }
}

} // namespace

void BlockInterruptSignals()
{
    const sigset_t set = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void UnblockInterruptSignals()
{
    const sigset_t set = InterruptSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void WatchInterrupts(const char* message)
{
    static std::once_flag started;
    std::call_once(started, [message] {
        // Detached: it waits for the whole life of the process, and a
        // joinable thread at exit would end the program abnormally.
        std::thread(Watch, message).detach();
    });
}

bool Interrupted()
{
    return gInterrupted.load();
}

void SetInterruptCleanup(std::function<void()> cleanup)
{
    std::lock_guard<std::mutex> lock(gLock);
    gCleanup = std::move(cleanup);
}

void RunInterruptCleanup()
{
    std::lock_guard<std::mutex> lock(gLock);
    if (gCleanup)
        std::exchange(gCleanup, nullptr)();
}

std::mutex& InterruptLock()
{
    return gLock;
}

void InterruptsDone()
{
    gDone = true;
    gCleanup = nullptr;
}

} // namespace vorel::cli
