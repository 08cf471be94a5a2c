// Writes a FormComponent tree as the compact component stream ("TPF0").
// Values are written in the kind they carry, so a tree read from a stream
// is written back byte for byte.

#include "foundation/values/byte_io.h"
#include "foundation/values/limits.h"
#include "foundation/forms/form_stream.h"

namespace vorel {

namespace {

class BinaryWriter {
public:
    QByteArray Write(const FormComponent& root)
    {
        FOut.append("TPF0", 4);
        WriteComponent(root);
        return std::move(FOut);
    }

private:
    [[noreturn]] void Fail(const QString& reason) const
    {
        QString what = FComponent.isEmpty() ? QStringLiteral("form") : FComponent;
        if (!FProperty.isEmpty())
            what += u'.' + FProperty;
        throw EStreamError(QStringLiteral("Error writing %1: %2").arg(what, reason));
    }

    void WriteShortString(const QString& text) { WriteShortUtf8(ShortUtf8(text)); }
    QByteArray ShortUtf8(const QString& text) const
    {
        QByteArray utf8 = text.toUtf8();
        if (utf8.size() > limits::kFormNameBytes)
            Fail(QStringLiteral("the name \"%1\" is longer than %2 bytes").arg(text).arg(limits::kFormNameBytes));
        return utf8;
    }
    void WriteShortUtf8(const QByteArray& utf8)
    {
        bytes::writeU8(FOut, std::uint8_t(utf8.size()));
        FOut.append(utf8);
    }
    void WriteCount(qsizetype count)
    {
        if (count > 0x7FFFFFFF)
            Fail(QStringLiteral("a value of %1 bytes is too large").arg(count));
        bytes::writeU32le(FOut, std::uint32_t(count));
    }

    void WriteComponent(const FormComponent& c)
    {
        const QString outer = FComponent;
        FComponent = c.Name.isEmpty() ? c.ClassName : c.Name;
        const QByteArray className = ShortUtf8(c.ClassName);
        // An entry starts with either the flags prefix (0xF0 | flags) or the
        // class name's length byte, told apart by the high nibble: a class
        // name of 240 bytes or more goes behind a prefix, else it would read
        // back as flags and shift every byte after it (a name of 8-bit
        // characters grows to that in UTF-8).
        if (c.Flags != 0 || className.size() >= 0xF0) {
            bytes::writeU8(FOut, std::uint8_t(0xF0 | (c.Flags & 0x0F)));
            if (c.Flags & ffChildPos) {
                if (!c.ChildPos.IsInteger() || c.ChildPos.Kind == vaInt64)
                    Fail(QStringLiteral("the child position is not a 32-bit integer"));
                WriteValue(c.ChildPos);
            }
        }
        if (c.ClassName.isEmpty())
            Fail(QStringLiteral("a component entry without a class name"));
        WriteShortUtf8(className);
        WriteShortString(c.Name);
        for (const FormProperty& p : c.Properties) {
            FProperty = p.Name;
            if (p.Name.isEmpty())
                Fail(QStringLiteral("a property without a name"));
            WriteShortString(p.Name);
            WriteValue(p.Value);
        }
        FProperty.clear();
        bytes::writeU8(FOut, vaNull);
        for (const FormComponent& child : c.Children)
            WriteComponent(child);
        bytes::writeU8(FOut, vaNull);
        FComponent = outer;
    }

    void WriteValue(const FormValue& v)
    {
        if (v.Kind > kLastValueType)
            Fail(QStringLiteral("unknown value kind %1").arg(int(v.Kind)));
        bytes::writeU8(FOut, v.Kind);
        switch (v.Kind) {
        case vaNull:
        case vaNil:
        case vaFalse:
        case vaTrue:
            break;
        case vaInt8:
            if (v.Int < INT8_MIN || v.Int > INT8_MAX)
                Fail(QStringLiteral("%1 does not fit vaInt8").arg(v.Int));
            bytes::writeI8(FOut, std::int8_t(v.Int));
            break;
        case vaInt16:
            if (v.Int < INT16_MIN || v.Int > INT16_MAX)
                Fail(QStringLiteral("%1 does not fit vaInt16").arg(v.Int));
            bytes::writeI16le(FOut, std::int16_t(v.Int));
            break;
        case vaInt32:
            if (v.Int < INT32_MIN || v.Int > INT32_MAX)
                Fail(QStringLiteral("%1 does not fit vaInt32").arg(v.Int));
            bytes::writeI32le(FOut, std::int32_t(v.Int));
            break;
        case vaInt64:
        case vaCurrency:
        case vaDate:
        case vaDouble:
            bytes::writeI64le(FOut, v.Int);
            break;
        case vaSingle:
            bytes::writeU32le(FOut, std::uint32_t(v.Int));
            break;
        case vaExtended:
            FOut.append(reinterpret_cast<const char*>(v.Extended.data()), 10);
            break;
        case vaString:
            if (v.Bytes.size() > 255)
                Fail(QStringLiteral("a vaString of %1 bytes (at most 255)").arg(v.Bytes.size()));
            bytes::writeU8(FOut, std::uint8_t(v.Bytes.size()));
            FOut.append(v.Bytes);
            break;
        case vaLString:
        case vaUTF8String:
        case vaBinary:
            WriteCount(v.Bytes.size());
            FOut.append(v.Bytes);
            break;
        case vaWString:
            WriteCount(v.Text.size());
            for (QChar ch : v.Text)
                bytes::writeU16le(FOut, ch.unicode());
            break;
        case vaIdent:
            WriteShortString(v.Text);
            break;
        case vaSet:
            for (const QString& element : v.Set) {
                if (element.isEmpty())
                    Fail(QStringLiteral("an empty set element"));
                WriteShortString(element);
            }
            bytes::writeU8(FOut, 0);
            break;
        case vaList:
            for (const FormValue& item : v.List)
                WriteValue(item);
            bytes::writeU8(FOut, vaNull);
            break;
        case vaCollection:
            WriteCollection(v);
            break;
        }
    }

    void WriteCollection(const FormValue& v)
    {
        const QString property = FProperty;
        int index = 0;
        for (const FormCollectionItem& item : v.Items) {
            FProperty = QStringLiteral("%1[%2]").arg(property).arg(index++);
            if (item.HasOrder) {
                if (item.Order.Kind != vaInt8 && item.Order.Kind != vaInt16 && item.Order.Kind != vaInt32)
                    Fail(QStringLiteral("the item order is not a 32-bit integer"));
                WriteValue(item.Order);
            }
            bytes::writeU8(FOut, vaList);
            const QString itemPath = FProperty;
            for (const FormProperty& p : item.Properties) {
                FProperty = itemPath + u'.' + p.Name;
                if (p.Name.isEmpty())
                    Fail(QStringLiteral("a property without a name"));
                WriteShortString(p.Name);
                WriteValue(p.Value);
            }
            bytes::writeU8(FOut, vaNull);
        }
        bytes::writeU8(FOut, vaNull);
        FProperty = property;
    }

    QByteArray FOut;
    QString FComponent;
    QString FProperty;
};

} // namespace

QByteArray WriteFormBinary(const FormComponent& root)
{
    return BinaryWriter().Write(root);
}

} // namespace vorel
