#include "foundation/components/meta_doc.h"

namespace vorel {

namespace {

// indexOfClassInfo looks at the class first and then at its bases, so a
// derived class's entry wins over its base's.
QString ClassInfoText(const QMetaObject* metaObject, const QByteArray& name)
{
    if (!metaObject)
        return {};
    const int index = metaObject->indexOfClassInfo(name.constData());
    return index < 0 ? QString() : QString::fromUtf8(metaObject->classInfo(index).value());
}

} // namespace

QString ClassDoc(const QMetaObject* metaObject)
{
    if (!metaObject)
        return {};
    const int index = metaObject->indexOfClassInfo("Doc");
    if (index < metaObject->classInfoOffset())
        return {}; // none, or a base class's
    return QString::fromUtf8(metaObject->classInfo(index).value());
}

QString PropertyDoc(const QMetaObject* metaObject, const char* propertyName)
{
    return ClassInfoText(metaObject, QByteArray("Doc.") + propertyName);
}

QString EnumValueDoc(const QMetaEnum& enumerator, const char* key)
{
    return ClassInfoText(enumerator.enclosingMetaObject(), QByteArray("Doc.") + key);
}

QString DefaultDoc(const QMetaObject* metaObject, const char* propertyName)
{
    return ClassInfoText(metaObject, QByteArray("DocDefault.") + propertyName);
}

} // namespace vorel
