// Reads the compact component stream ("TPF0") into a FormComponent tree.
// Every count is checked against the bytes that remain before anything is
// allocated for it, and nesting is bounded, so hostile input costs at most
// its own size and fails with a message naming the property and the offset.

#include "foundation/values/byte_io.h"
#include "foundation/forms/form_stream.h"
#include "foundation/forms/form_stream_p.h"

#include <QStringDecoder>

namespace vorel {

namespace {

class BinaryParser {
public:
    BinaryParser(QByteArrayView data, const FormParseOptions& options) : FIn(data), FOptions(options)
    {
        if (!FOptions.DecodeAnsi)
            FOptions.DecodeAnsi = DecodeWindows1252;
    }

    void Parse(FormComponent& root)
    {
        if (!FIn.Has(4) || FIn.Bytes(4) != QByteArrayView("TPF0")) {
            FIn.Seek(0);
            Fail(QStringLiteral("Invalid stream format (the signature \"TPF0\" is missing)"));
        }
        ReadComponent(root, 0);
    }

private:
    [[noreturn]] void Fail(const QString& reason) { Fail(reason, FIn.Offset()); }
    [[noreturn]] void Fail(const QString& reason, qsizetype offset)
    {
        throw EStreamError(FormErrorMessage(FComponent, FProperty, FOptions.BaseOffset + offset, 0, reason),
                           FormErrorPlace(FPath, FProperty, FOptions.BaseOffset + offset, 0));
    }
    void Need(std::int64_t count)
    {
        if (!FIn.Has(count))
            Fail(count > 1 && FIn.Remaining() > 0
                    ? QStringLiteral("Stream read error (%1 bytes needed, %2 remain)").arg(count).arg(FIn.Remaining())
                    : QStringLiteral("Stream read error"));
    }
    void Deeper(int depth)
    {
        if (depth > FOptions.MaxDepth)
            Fail(QStringLiteral("Invalid stream format (nested deeper than %1 levels)").arg(FOptions.MaxDepth));
    }
    std::int64_t Position() const { return FOptions.BaseOffset + FIn.Offset(); }

    // A length byte and that many characters: UTF-8 where valid (the
    // Unicode-era writers), else the 8-bit code page.
    QString ReadShortString()
    {
        Need(1);
        const int length = FIn.u8();
        Need(length);
        return DecodeName(FIn.Bytes(length));
    }
    QString DecodeName(QByteArrayView raw) const
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(raw);
        return utf8.hasError() ? FOptions.DecodeAnsi(raw) : text;
    }
    TValueType ReadKind()
    {
        Need(1);
        const std::uint8_t kind = FIn.PeekU8();
        if (kind > kLastValueType)
            Fail(QStringLiteral("Invalid stream format (unknown value kind %1)").arg(kind));
        FIn.u8();
        return TValueType(kind);
    }
    // Consumes the zero that ends a list, or returns false.
    bool EndOfList()
    {
        Need(1);
        if (FIn.PeekU8() != vaNull)
            return false;
        FIn.u8();
        return true;
    }
    std::uint32_t ReadCount(std::int64_t unitBytes)
    {
        Need(4);
        const std::uint32_t count = FIn.u32le();
        if (count > 0x7FFFFFFFu)
            Fail(QStringLiteral("Invalid stream format (length %1 is negative)").arg(std::int32_t(count)), FIn.Offset() - 4);
        if (!FIn.Has(std::int64_t(count) * unitBytes))
            Fail(QStringLiteral("Stream read error (a length of %1 bytes, %2 remain)")
                     .arg(std::int64_t(count) * unitBytes)
                     .arg(FIn.Remaining()),
                FIn.Offset() - 4);
        return count;
    }

    void ReadComponent(FormComponent& c, int depth)
    {
        Deeper(depth);
        c.Offset = Position();
        const QString outerComponent = FComponent;
        const QString outerPath = FPath;
        Need(1);
        if ((FIn.PeekU8() & 0xF0) == 0xF0) {
            c.Flags = FIn.u8() & 0x0F;
            if (c.Flags & ffChildPos) {
                const TValueType kind = ReadKind();
                if (kind != vaInt8 && kind != vaInt16 && kind != vaInt32)
                    Fail(QStringLiteral("Invalid stream format (%1 where a child position was expected)")
                             .arg(ValueTypeName(kind)));
                c.ChildPos = ReadValue(kind, depth);
            }
        }
        const qsizetype classOffset = FIn.Offset();
        c.ClassName = ReadShortString();
        if (c.ClassName.isEmpty())
            Fail(QStringLiteral("Invalid stream format (a component entry without a class name)"), classOffset);
        FComponent = c.ClassName;
        FPath = FormChildPath(outerPath, FComponent);
        c.Name = ReadShortString();
        if (!c.Name.isEmpty()) {
            FComponent = c.Name;
            FPath = FormChildPath(outerPath, FComponent);
        }
        if (++FComponentCount > FOptions.MaxComponents)
            Fail(QStringLiteral("Invalid stream format (more than %1 components, the most a form may hold)")
                     .arg(FOptions.MaxComponents),
                 classOffset);
        const QString path = FPath;
        while (!EndOfList()) {
            FormProperty p;
            p.Offset = Position();
            FProperty.clear();
            p.Name = ReadShortString();
            FProperty = p.Name;
            p.Value = ReadValue(ReadKind(), depth);
            c.Properties.push_back(std::move(p));
        }
        FProperty.clear();
        while (!EndOfList()) {
            c.Children.emplace_back();
            ReadComponent(c.Children.back(), depth + 1);
            FComponent = c.Name.isEmpty() ? c.ClassName : c.Name;
            FPath = path;
        }
        c.Complete = true;
        FComponent = outerComponent;
        FPath = outerPath;
    }

    FormValue ReadValue(TValueType kind, int depth)
    {
        Deeper(depth);
        FormValue v;
        v.Kind = kind;
        switch (kind) {
        case vaNull:
        case vaNil:
        case vaFalse:
        case vaTrue:
            break;
        case vaInt8:
            Need(1);
            v.Int = FIn.i8();
            break;
        case vaInt16:
            Need(2);
            v.Int = FIn.i16le();
            break;
        case vaInt32:
            Need(4);
            v.Int = FIn.i32le();
            break;
        case vaInt64:
        case vaCurrency:
        case vaDate:
        case vaDouble:
            Need(8);
            v.Int = FIn.i64le();
            break;
        case vaSingle:
            Need(4);
            v.Int = FIn.u32le();
            break;
        case vaExtended: {
            Need(10);
            const QByteArrayView raw = FIn.Bytes(10);
            for (int i = 0; i < 10; ++i)
                v.Extended[i] = std::uint8_t(raw[i]);
            break;
        }
        case vaString: {
            Need(1);
            const int length = FIn.u8();
            Need(length);
            v.Bytes = FIn.Bytes(length).toByteArray();
            v.Text = FOptions.DecodeAnsi(v.Bytes);
            break;
        }
        case vaLString: {
            const std::uint32_t length = ReadCount(1);
            v.Bytes = FIn.Bytes(length).toByteArray();
            v.Text = FOptions.DecodeAnsi(v.Bytes);
            break;
        }
        case vaUTF8String: {
            const std::uint32_t length = ReadCount(1);
            v.Bytes = FIn.Bytes(length).toByteArray();
            v.Text = QString::fromUtf8(v.Bytes);
            break;
        }
        case vaWString: {
            const std::uint32_t count = ReadCount(2); // UTF-16 units
            const QByteArrayView raw = FIn.Bytes(std::int64_t(count) * 2);
            v.Text.resize(count);
            QChar* p = v.Text.data();
            for (std::uint32_t i = 0; i < count; ++i)
                p[i] = QChar(char16_t(std::uint8_t(raw[2 * i]) | (std::uint8_t(raw[2 * i + 1]) << 8)));
            break;
        }
        case vaIdent:
            v.Text = ReadShortString();
            break;
        case vaBinary: {
            const std::uint32_t length = ReadCount(1);
            v.Bytes = FIn.Bytes(length).toByteArray();
            break;
        }
        case vaSet:
            for (;;) {
                QString element = ReadShortString();
                if (element.isEmpty())
                    break;
                v.Set.append(std::move(element));
            }
            break;
        case vaList:
            while (!EndOfList())
                v.List.push_back(ReadValue(ReadKind(), depth + 1));
            break;
        case vaCollection:
            ReadCollection(v, depth + 1);
            break;
        }
        return v;
    }

    void ReadCollection(FormValue& v, int depth)
    {
        const QString property = FProperty;
        while (!EndOfList()) {
            FormCollectionItem item;
            item.Offset = Position();
            const std::uint8_t next = FIn.PeekU8();
            if (next == vaInt8 || next == vaInt16 || next == vaInt32) {
                item.HasOrder = true;
                item.Order = ReadValue(ReadKind(), depth);
            }
            const QString itemPath = QStringLiteral("%1[%2]").arg(property).arg(v.Items.size());
            FProperty = itemPath;
            const TValueType kind = ReadKind();
            if (kind != vaList)
                Fail(QStringLiteral("Invalid stream format (%1 where a collection item was expected)")
                         .arg(ValueTypeName(kind)),
                    FIn.Offset() - 1);
            while (!EndOfList()) {
                FormProperty p;
                p.Offset = Position();
                FProperty = itemPath;
                p.Name = ReadShortString();
                FProperty = itemPath + u'.' + p.Name;
                p.Value = ReadValue(ReadKind(), depth + 1);
                item.Properties.push_back(std::move(p));
            }
            v.Items.push_back(std::move(item));
            FProperty = property;
        }
        FProperty = property;
    }

    bytes::ByteReader FIn;
    FormParseOptions FOptions;
    QString FComponent = QStringLiteral("form");
    QString FPath; // of the component being read, from the root: for the error's place
    QString FProperty;
    std::int64_t FComponentCount = 0;
};

} // namespace

void ReadFormBinary(QByteArrayView data, FormComponent& root, const FormParseOptions& options)
{
    BinaryParser(data, options).Parse(root);
}

} // namespace vorel
