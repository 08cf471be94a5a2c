#include "auto/library.h"

#include "auto/auto_print.h"

#include "data/data_manager.h"
#include "data/dataset.h"
#include "export/export_registry.h"
#include "foundation/forms/form_objects.h"
#include "foundation/values/random.h"
#include "foundation/records/records.h"
#include "frame/print_component.h"
#include "model/control_registry.h"

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
    RegisterModelClasses();
    RegisterAutoClasses();
    RegisterBuiltinControls();
    RegisterBuiltinExports();
    DefaultDataManager();
    RandomizeFromClock();
}

void FinalizeLibrary()
{
    if (!gInitialized)
        return;
    gInitialized = false;
    UnRegisterBuiltinExports();
    UnRegisterBuiltinControls();
    UnRegisterModelClasses();
    FreeDefaultDataManager();
    FreeApplication();
    ClearFormPrototypes();
}

bool LibraryInitialized()
{
    return gInitialized;
}

} // namespace vorel
