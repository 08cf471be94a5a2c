#include "export/export_registry.h"

#include "export/csv_export.h"
#include "export/excel_export.h"
#include "export/html_export.h"
#include "export/lotus_export.h"
#include "export/pdf_export.h"
#include "export/picture_export.h"
#include "export/rtf_export.h"
#include "export/svg_export.h"
#include "export/text_export.h"
#include "export/xml_export.h"
#include "export/xlsx_export.h"
#include "foundation/components/component.h"
#include "foundation/language/language.h"

#include <QMimeDatabase>

namespace vorel {

namespace {

QList<TKVXRegisterExport>& Registry()
{
    static QList<TKVXRegisterExport> list;
    return list;
}

struct TBuiltin {
    const QMetaObject* Class;
    const char* Extension;
    int NameId;
    int FilterId;
};

// The documented order: the picture filters EMF, WMF and BMP after CSV,
// TIFF and JPEG after PDF.
const TBuiltin kBuiltins[] = {
    {&TKVXExportToText::staticMetaObject, "TXT", 2170, 2171},
    {&TKVXExportToCSV::staticMetaObject, "CSV", 2172, 2173},
    {&TKVXExportToEMF::staticMetaObject, "EMF", 2174, 2175},
    {&TKVXExportToWMF::staticMetaObject, "WMF", 2176, 2177},
    {&TKVXExportToBMP::staticMetaObject, "BMP", 2192, 2193},
    {&TKVXExportToHTML::staticMetaObject, "HTML", 2178, 2179},
    {&TKVXExportToXML::staticMetaObject, "XML", 2180, 2181},
    {&TKVXExportToExcel::staticMetaObject, "XLS", 2182, 2183},
    {&TKVXExportToLotus::staticMetaObject, "WK1", 2184, 2185},
    {&TKVXExportToQuattroPro::staticMetaObject, "WQ1", 2186, 2187},
    {&TKVXExportToRTF::staticMetaObject, "RTF", 2188, 2189},
    {&TKVXExportToPDF::staticMetaObject, "PDF", 2190, 2191},
    {&TKVXExportToTIFF::staticMetaObject, "TIFF", 2194, 2195},
    {&TKVXExportToJPEG::staticMetaObject, "JPG", 2196, 2197},
};

// Formats beyond the classic list, after it; the language tables have no
// texts for them, so their names are fixed English texts.
struct TBuiltinNamed {
    const QMetaObject* Class;
    const char* Extension;
    const char* Name;
    const char* Filter;
};

const TBuiltinNamed kBeyondClassic[] = {
    {&TKVXExportToXLSX::staticMetaObject, "XLSX", "Excel workbook export filter", "Excel workbook (*.xlsx)"},
    {&TKVXExportToPNG::staticMetaObject, "PNG", "PNG picture export filter", "PNG picture (*.png)"},
    {&TKVXExportToSVG::staticMetaObject, "SVG", "SVG picture export filter", "SVG picture (*.svg)"},
};

} // namespace

const QList<TKVXRegisterExport>& KVXExports()
{
    return Registry();
}

void RegisterKVXExport(const QMetaObject* exportClass, const QString& extension, int nameId, const QString& name,
                       int filterId, const QString& filter)
{
    if (!exportClass)
        return;
    const QString className = MetaClassName(exportClass);
    if (!exportClass->inherits(&TKVXExport::staticMetaObject))
        throw EKVXError(QStringLiteral("Class %1 is not an export filter").arg(className));
    if (!className.isEmpty())
        UnRegisterKVXExport(exportClass);
    TKVXRegisterExport entry;
    entry.ClassName = className;
    entry.Extension = extension;
    entry.NameId = nameId;
    entry.Name = name;
    entry.FilterId = filterId;
    entry.Filter = filter;
    static const QMimeDatabase mimes;
    entry.Icon = mimes.mimeTypeForFile(QStringLiteral("kvx_ico.") + extension, QMimeDatabase::MatchExtension).iconName();
    Registry().append(entry);
    RegisterClass(exportClass);
}

void UnRegisterKVXExport(const QMetaObject* exportClass)
{
    if (!exportClass)
        return;
    const QString className = MetaClassName(exportClass);
    QList<TKVXRegisterExport>& list = Registry();
    for (qsizetype i = list.size() - 1; i >= 0; --i)
        if (list[i].ClassName == className)
            list.removeAt(i);
    UnRegisterClass(exportClass);
}

void RegisterBuiltinExports()
{
    for (const TBuiltin& b : kBuiltins)
        RegisterKVXExport(b.Class, QString::fromLatin1(b.Extension), b.NameId, QString(), b.FilterId, QString());
    for (const TBuiltinNamed& b : kBeyondClassic)
        RegisterKVXExport(b.Class, QString::fromLatin1(b.Extension), 0, QString::fromLatin1(b.Name), 0,
                          QString::fromLatin1(b.Filter));
}

void UnRegisterBuiltinExports()
{
    for (const TBuiltinNamed& b : kBeyondClassic)
        UnRegisterKVXExport(b.Class);
    for (const TBuiltin& b : kBuiltins)
        UnRegisterKVXExport(b.Class);
}

QString ExportFormatName(const TKVXRegisterExport& entry, int lang)
{
    return entry.NameId > 0 ? GetString(lang, entry.NameId) : entry.Name;
}

QString ExportFileDescription(const TKVXRegisterExport& entry, int lang)
{
    return entry.FilterId >= 1 ? GetString(lang, entry.FilterId) : entry.Filter;
}

} // namespace vorel
