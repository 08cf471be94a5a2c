#pragma once
// Stream encoders of the PDF writer. Each turns raw bytes into the bytes of
// a stream under one standard PDF filter; the writer puts the filter's name
// into the stream dictionary and the encoded size into /Length.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

namespace vorel {

class TKVXPDFEnums {
    Q_GADGET
public:
    // How image data (and, beyond ASCIIHex, the other streams) is encoded.
    enum TKVXECompression { seASCIIHex, seASCII85, seLZW, seDCT, seFlate };
    Q_ENUM(TKVXECompression)
    Q_CLASSINFO("Doc.seASCIIHex", "Pictures as hexadecimal text; nothing compressed.")
    Q_CLASSINFO("Doc.seASCII85", "Pictures as ASCII85 text; nothing compressed.")
    Q_CLASSINFO("Doc.seLZW", "LZW compression of pictures, pages and fonts (Flate in PDF/A files).")
    Q_CLASSINFO("Doc.seDCT", "Pictures as JPEG; pages and fonts with Flate.")
    Q_CLASSINFO("Doc.seFlate", "Flate (zlib) compression of pictures, pages and fonts.")
    // The zlib effort of seFlate: level 1, 6 and 9.
    enum TKVXECompressionMethod { cmFastest, cmNormal, cmMaxCompress };
    Q_ENUM(TKVXECompressionMethod)
    Q_CLASSINFO("Doc.cmFastest", "Fastest (zlib level 1).")
    Q_CLASSINFO("Doc.cmNormal", "Balanced (zlib level 6).")
    Q_CLASSINFO("Doc.cmMaxCompress", "Smallest files (zlib level 9).")
};
using TKVXECompression = TKVXPDFEnums::TKVXECompression;
using TKVXECompressionMethod = TKVXPDFEnums::TKVXECompressionMethod;
using enum TKVXPDFEnums::TKVXECompression;
using enum TKVXPDFEnums::TKVXECompressionMethod;

// "ASCIIHexDecode", "ASCII85Decode", "LZWDecode", "DCTDecode", "FlateDecode".
QByteArray PdfFilterName(TKVXECompression compression);

// Upper-case hexadecimal, two digits per byte, a line break (CR LF) after
// every lineChars digits, and the end marker ">".
QByteArray EncodeASCIIHex(QByteArrayView data, int lineChars = 78);
// Base-85 in groups of five characters ("z" for four zero bytes), a line
// break after every 75 characters, and the end marker "~>".
QByteArray EncodeASCII85(QByteArrayView data);
// LZW as the LZWDecode filter reads it with its default EarlyChange 1:
// codes of 9 to 12 bits, most significant bit first, a clear code first
// and whenever the table fills, the end-of-data code last.
QByteArray EncodeLZW(QByteArrayView data);
// A zlib stream (RFC 1950) at the given effort.
QByteArray EncodeFlate(QByteArrayView data, TKVXECompressionMethod method = cmNormal);

// Encodes with the filter of the compression. seDCT is a picture format:
// for other data it falls back to Flate.
QByteArray EncodeStream(QByteArrayView data, TKVXECompression compression, TKVXECompressionMethod method);
TKVXECompression NonImageCompression(TKVXECompression compression);

} // namespace vorel
