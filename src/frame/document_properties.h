#pragma once
// TKVProperty is shared with the export filters, which sit below the frame,
// so it lives in foundation/; this header keeps the frame's include working.
#include "foundation/document_properties.h"
