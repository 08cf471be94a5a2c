#pragma once
// The user interface a command installs for the length of its run (its
// progress line on the terminal, its Ctrl-C), and the headless one again
// afterwards, also when the command ends by an error.

#include "frame/user_interface.h"

namespace vorel::cli {

struct TInstalledInterface {
    explicit TInstalledInterface(TKVXUserInterface* ui) { SetUserInterface(ui); }
    ~TInstalledInterface() { SetUserInterface(nullptr); }
    TInstalledInterface(const TInstalledInterface&) = delete;
    TInstalledInterface& operator=(const TInstalledInterface&) = delete;
};

} // namespace vorel::cli
