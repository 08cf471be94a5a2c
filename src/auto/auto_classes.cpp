// Registration of the automatic report classes (library start-up).

#include "auto/auto_print.h"
#include "auto/composite_report.h"
#include "auto/print_data.h"
#include "auto/print_grid.h"
#include "auto/print_text.h"

namespace vorel {

void RegisterAutoClasses()
{
    RegisterClass(&TKVXStyle::staticMetaObject);
    RegisterClass(&TKVAutoPrint::staticMetaObject);
    RegisterClass(&TKVXACalculation::staticMetaObject);
    RegisterClass(&TKVXGridColumn::staticMetaObject);
    RegisterClass(&TKVXDataGrid::staticMetaObject);
    RegisterClass(&TKVPrintData::staticMetaObject);
    RegisterClass(&TKVPrintCustomGrid::staticMetaObject);
    RegisterClass(&TKVPrintStringGrid::staticMetaObject);
    RegisterClass(&TKVPrintListView::staticMetaObject);
    RegisterClass(&TKVPrintText::staticMetaObject);
    RegisterClass(&TKVXCompositeReport::staticMetaObject);
}

} // namespace vorel
