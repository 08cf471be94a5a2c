#pragma once
// The registry of export filters: what the save/export dialog offers, in
// registration order. Built-in filters are registered by one explicit call
// at library start-up (RegisterBuiltinExports); applications add their own
// with RegisterKVXExport.

#include <QList>
#include <QMetaObject>
#include <QString>

namespace vorel {

struct TKVXRegisterExport {
    QString ClassName; // the filter's class, as the class registry knows it
    QString Extension; // without the full stop ("CSV")
    int NameId = 0;    // language text id of the format name; 0: Name is used
    QString Name;
    int FilterId = 0;  // language text id of the file-dialog description; below 1: Filter is used
    QString Filter;
    // A theme icon name for files with the extension (from the MIME
    // database); the dialog draws it in its format list. May be empty.
    QString Icon;
};

// The registered filters, in registration order.
const QList<TKVXRegisterExport>& KVXExports();

// Registers a filter class (derived from TKVXExport; anything else raises
// EKVXError naming the class). A class registered before is unregistered
// first, so it moves to the end. The class also goes into the class
// registry, so the print component finds it by name.
void RegisterKVXExport(const QMetaObject* exportClass, const QString& extension, int nameId, const QString& name,
                       int filterId, const QString& filter);
// Removes every registration of the class and unregisters it from the class registry.
void UnRegisterKVXExport(const QMetaObject* exportClass);

// The built-in filters in their documented order (text, CSV, EMF, WMF, BMP,
// HTML, XML, Excel, Lotus, QuattroPro, RTF, PDF, TIFF, JPEG; each present
// filter in its place), then those beyond the classic list (XLSX). Called by library start-up. Calling it again
// registers them again, which puts them back in this order after any
// other filter.
void RegisterBuiltinExports();
// Library shut-down: unregisters the built-in filters.
void UnRegisterBuiltinExports();

// The format name and the file-dialog description of a registration in a language.
QString ExportFormatName(const TKVXRegisterExport& entry, int lang);
QString ExportFileDescription(const TKVXRegisterExport& entry, int lang);

} // namespace vorel
