#include "auto/library.h"

#include "data/data_manager.h"
#include "data/dataset.h"
#include "foundation/form_objects.h"
#include "foundation/random.h"
#include "frame/print_component.h"
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
    RegisterDataClasses();
    RegisterFrameClasses();
    DefaultDataManager();
    RandomizeFromClock();
}

void FinalizeLibrary()
{
    if (!gInitialized)
        return;
    gInitialized = false;
    FreeDefaultDataManager();
    FreeApplication();
    ClearFormPrototypes();
}

bool LibraryInitialized()
{
    return gInitialized;
}

} // namespace vorel
