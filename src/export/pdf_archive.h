#pragma once
// What an archival (PDF/A-2b) file carries beyond a plain one, and the
// dates every file's information states: the XMP metadata packet that
// repeats the information dictionary, and the colour profile of the output
// intent that gives the file's DeviceRGB colours their meaning.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace vorel {

// The profile the output intent embeds: sRGB, as every colour of a report
// is an sRGB colour (Debian's icc-profiles-free installs it).
inline constexpr char kPdfSrgbProfileFile[] = "/usr/share/color/icc/sRGB.icc";
inline constexpr char kPdfSrgbCondition[] = "sRGB IEC61966-2.1";
// The /Producer of every file, and the XMP's pdf:Producer.
inline constexpr char kPdfProducer[] = "Tarnwick Vorel";

// The document information of a file.
struct TPdfInfo {
    QString Title;
    QString Author;
    QString Subject;
    QString Keywords;
    QString Creator; // the product key
    QDateTime Created; // with its offset from UTC; whole seconds are written
};

// What a file made for archiving (PDF/A-2b) needs from outside: the ICC
// profile of its output intent.
struct TPdfArchive {
    QByteArray ColorProfile;
};

// "D:YYYYMMDDHHmmSS+HH'mm'" (or "-HH'mm'"): the date's own local time and
// its offset from UTC, so a reader can place it in time.
QByteArray PdfDate(const QDateTime& date);
// The same moment as XMP writes it: "YYYY-MM-DDTHH:mm:SS+HH:mm". PDF/A
// asks the two to agree to the second and the offset.
QString XmpDate(const QDateTime& date);

// The ICC profile's bytes; raises EKVXError naming the file when it cannot
// be read or is too short to be a profile.
QByteArray ReadPdfColorProfile(const QString& fileName);

// The XMP packet of a PDF/A-2b file (UTF-8): pdfaid part 2, conformance B,
// and the information's title, author, subject, keywords, creator tool,
// producer and dates, XML-escaped. Empty entries are left out, as the
// information dictionary leaves them out.
QByteArray PdfAMetadata(const TPdfInfo& info);

} // namespace vorel
