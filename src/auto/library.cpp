#include "auto/library.h"

#include "foundation/random.h"
#include "foundation/records.h"

namespace vorel {

namespace {
bool gInitialized = false;
}

void InitializeLibrary()
{
    if (gInitialized)
        return;
    gInitialized = true;
    RegisterRecordClasses();
    RandomizeFromClock();
}

void FinalizeLibrary()
{
    if (!gInitialized)
        return;
    gInitialized = false;
}

bool LibraryInitialized()
{
    return gInitialized;
}

} // namespace vorel
