#include "model/rtf_reader.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

enum class Kw : std::uint16_t {
    Unknown,
    SkipDest, // a destination whose content is not shown
    Rtf, Ansi, Mac, Pc, Pca, AnsiCpg, Deff, DefTab, Uc, U, Bin,
    FontTbl, ColorTbl, Pict,
    F, FCharset, FNil, FRoman, FSwiss, FModern, FScript, FDecor, FTech,
    Red, Green, Blue,
    Plain, B, I, Ul, UlNone, Strike, V, Fs, Cf, Cb, Highlight,
    Pard, Ql, Qr, Qc, Qj, Li, Ri, Fi, Sb, Sa, Sl, SlMult, Tx,
    Par, Line, Tab, Cell, ParEnd, // ParEnd: \row, \sect, \page end the paragraph unless one just ended
    Emdash, Endash, Bullet, Lquote, Rquote, Ldblquote, Rdblquote, Emspace, Enspace, Qmspace,
    PngBlip, JpegBlip, OtherBlip, PicW, PicH, PicWGoal, PicHGoal, PicScaleX, PicScaleY,
};

const std::unordered_map<std::string_view, Kw>& Keywords()
{
    static const std::unordered_map<std::string_view, Kw> table = [] {
        std::unordered_map<std::string_view, Kw> t = {
            {"rtf", Kw::Rtf}, {"ansi", Kw::Ansi}, {"mac", Kw::Mac}, {"pc", Kw::Pc}, {"pca", Kw::Pca},
            {"ansicpg", Kw::AnsiCpg}, {"deff", Kw::Deff}, {"deftab", Kw::DefTab}, {"uc", Kw::Uc}, {"u", Kw::U}, {"bin", Kw::Bin},
            {"fonttbl", Kw::FontTbl}, {"colortbl", Kw::ColorTbl}, {"pict", Kw::Pict},
            {"f", Kw::F}, {"fcharset", Kw::FCharset}, {"fnil", Kw::FNil}, {"froman", Kw::FRoman},
            {"fswiss", Kw::FSwiss}, {"fmodern", Kw::FModern}, {"fscript", Kw::FScript}, {"fdecor", Kw::FDecor},
            {"ftech", Kw::FTech}, {"red", Kw::Red}, {"green", Kw::Green}, {"blue", Kw::Blue},
            {"plain", Kw::Plain}, {"b", Kw::B}, {"i", Kw::I}, {"ulnone", Kw::UlNone}, {"strike", Kw::Strike},
            {"striked", Kw::Strike}, {"v", Kw::V}, {"fs", Kw::Fs}, {"cf", Kw::Cf}, {"cb", Kw::Cb},
            {"chcbpat", Kw::Cb}, {"highlight", Kw::Highlight}, {"pard", Kw::Pard}, {"ql", Kw::Ql},
            {"qr", Kw::Qr}, {"qc", Kw::Qc}, {"qj", Kw::Qj}, {"qd", Kw::Qj}, {"li", Kw::Li}, {"lin", Kw::Li},
            {"ri", Kw::Ri}, {"rin", Kw::Ri}, {"fi", Kw::Fi}, {"sb", Kw::Sb}, {"sa", Kw::Sa}, {"sl", Kw::Sl},
            {"slmult", Kw::SlMult}, {"tx", Kw::Tx}, {"tb", Kw::Tx}, {"par", Kw::Par}, {"line", Kw::Line},
            {"tab", Kw::Tab}, {"cell", Kw::Cell}, {"nestcell", Kw::Cell}, {"row", Kw::ParEnd},
            {"nestrow", Kw::ParEnd}, {"sect", Kw::ParEnd}, {"page", Kw::ParEnd}, {"emdash", Kw::Emdash},
            {"endash", Kw::Endash}, {"bullet", Kw::Bullet}, {"lquote", Kw::Lquote}, {"rquote", Kw::Rquote},
            {"ldblquote", Kw::Ldblquote}, {"rdblquote", Kw::Rdblquote}, {"emspace", Kw::Emspace},
            {"enspace", Kw::Enspace}, {"qmspace", Kw::Qmspace}, {"pngblip", Kw::PngBlip},
            {"jpegblip", Kw::JpegBlip}, {"emfblip", Kw::OtherBlip}, {"wmetafile", Kw::OtherBlip},
            {"dibitmap", Kw::OtherBlip}, {"wbitmap", Kw::OtherBlip}, {"macpict", Kw::OtherBlip},
            {"pmmetafile", Kw::OtherBlip}, {"picw", Kw::PicW}, {"pich", Kw::PicH}, {"picwgoal", Kw::PicWGoal},
            {"pichgoal", Kw::PicHGoal}, {"picscalex", Kw::PicScaleX}, {"picscaley", Kw::PicScaleY},
        };
        // Every kind of underline is an underline here.
        for (const char* ul : {"ul", "uld", "uldb", "ulw", "ulth", "uldash", "uldashd", "uldashdd", "ulwave",
                 "ulhwave", "ulldash", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ululdbwave", "ulthldash"})
            t.emplace(ul, Kw::Ul);
        // Destinations whose text is not part of the shown document: document
        // information, page headers and footers, notes, fields' instructions
        // (their result is shown), list and style definitions, shapes'
        // properties, bookmarks, embedded objects' data and the alternative
        // picture of a \shppict.
        for (const char* d : {"annotation", "atnauthor", "atndate", "atnicn", "atnid", "atnparent", "atnref",
                 "atntime", "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart", "blipuid", "buptim",
                 "category", "colorschememapping", "comment", "company", "creatim", "datafield", "datastore",
                 "defchp", "defpap", "do", "doccomm", "docvar", "dptxbxtext", "ebcend", "ebcstart", "factoidname",
                 "falt", "fchars", "ffdeftext", "ffentrymcr", "ffexitmcr", "ffformat", "ffhelptext", "ffl",
                 "ffname", "ffstattext", "file", "filetbl", "fldinst", "fldtype", "fname", "fontemb",
                 "fontfile", "footer", "footerf", "footerl", "footerr", "footnote", "formfield", "ftncn",
                 "ftnsep", "ftnsepc", "aftncn", "aftnsep", "aftnsepc", "generator", "gridtbl", "header",
                 "headerf", "headerl", "headerr", "hl", "hlfr", "hlinkbase", "hlloc", "hlsrc", "hsv", "htmltag",
                 "info", "keycode", "keywords", "latentstyles", "lchars", "levelnumbers", "leveltext",
                 "lfolevel", "linkval", "list", "listlevel", "listname", "listoverride", "listoverridetable",
                 "listpicture", "liststylename", "listtable", "lsdlockedexcept", "mailmerge", "manager",
                 "mmathPr", "nesttableprops", "nextfile", "nonesttables", "nonshppict", "objalias", "objclass",
                 "objdata", "objname", "objsect", "objtime", "oldcprops", "oldpprops", "oldsprops",
                 "oldtprops", "operator", "panose", "password", "passwordhash", "pgdsc", "pgdsctbl",
                 "picprop", "pn", "pnseclvl", "pntxta", "pntxtb", "printim", "private", "propname", "protend",
                 "protstart", "protusertbl", "pxe", "revtbl", "revtim", "rsidtbl", "rxe", "shpinst", "sn", "sp",
                 "staticval", "stylesheet", "subject", "sv", "svb", "tc", "template", "themedata", "title",
                 "txe", "ud", "upr", "userprops", "wgrffmtfilter", "windowcaption", "writereservation",
                 "writereservhash", "xe", "xform", "xmlattrname", "xmlattrvalue", "xmlclose", "xmlname",
                 "xmlnstbl", "xmlopen"})
            t.emplace(d, Kw::SkipDest);
        return t;
    }();
    return table;
}

// Twips bounds of indents and spacing (22 inches, the widest page RTF knows).
constexpr int kMaxTwips = 31680;
constexpr int kMaxHalfPoints = 3276; // 1638 points
constexpr int kMaxTabStops = 64;
constexpr int kMaxFontNameBytes = 256;
constexpr qreal kTwipsPerPixel = 15.0; // 1440 per inch / 96 report pixels per inch

int Clamp(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

class TRtfReader {
public:
    TRtfReader(QTextDocument& doc, const QByteArray& data, const TRichTextDefaults& defaults, bool utf8)
        : FDoc(doc), FData(data.constData()), FSize(data.size()), FDefaults(defaults), FHighBytesUtf8(utf8),
          FCodePage(defaults.CodePage), FCursor(&doc)
    {
    }

    void Run();

private:
    enum class Dest : std::uint8_t { Text, FontTable, ColorTable, Picture };

    struct CharState {
        int Font = -1; // font table number; -1 = the default font
        int HalfPoints = 24; // RTF's default size: 12 points
        bool Bold = false, Italic = false, Underline = false, Strike = false, Hidden = false;
        int Color = 0; // colour table index; 0 = automatic
        int Back = 0; // colour table index; 0 = none
        friend bool operator==(const CharState&, const CharState&) = default;
    };
    struct ParaState {
        Qt::Alignment Align = Qt::AlignLeft;
        int Left = 0, Right = 0, First = 0, Before = 0, After = 0; // twips
        int LineSpacing = 0; // \sl twips: > 0 at least, < 0 exactly
        bool LineMultiple = false; // \slmult1: LineSpacing / 240 lines
        QList<int> Tabs; // twips
    };
    struct Group {
        CharState Char;
        ParaState Para;
        int UcSkip = 1;
        Dest Destination = Dest::Text;
    };
    struct FontEntry {
        QByteArray NameBytes;
        QString Name;
        int Charset = -1;
        QString FamilyFallback;
    };
    struct Picture {
        QByteArray Data;
        QByteArray Format; // "png", "jpeg"; empty = look at the bytes
        bool Other = false; // a format not read here (metafiles, DIBs)
        int HighNibble = -1;
        int W = 0, H = 0, GoalW = 0, GoalH = 0, ScaleX = 100, ScaleY = 100;
    };

    Group& Cur() { return FStack.back(); }
    void OpenGroup();
    void CloseGroup();
    void SkipGroupContent(); // from inside a group to just after its closing brace
    void ControlWord();
    void ControlSymbol(char c);
    void Keyword(Kw kw, bool hasParam, int param);
    void TextBytes();
    void PictureBytes();
    void SkipBinary(int count);

    // Text of the document.
    bool StartAdd(); // false: the text is hidden
    void AddAscii(const char* p, qsizetype n);
    void AddByte(uchar b, bool escaped);
    void AddUnicode(char16_t c);
    void FlushBytes();
    void FlushRun();
    void OpenParagraph();
    void EndParagraph();
    void EndParagraphUnlessJustEnded();
    void Finish();

    int CodePageOf(int font);
    const FontEntry* FontOf(int font) const;
    QTextCharFormat CharFormat(const CharState& c);
    QTextBlockFormat BlockFormat(const ParaState& p) const;
    void CommitFontName();
    void CommitColor();
    void FinishPicture();

    QTextDocument& FDoc;
    const char* FData;
    qsizetype FSize;
    qsizetype FPos = 0;
    TRichTextDefaults FDefaults;
    bool FHighBytesUtf8;
    bool FDone = false;

    std::vector<Group> FStack{Group()};
    int FSkipChars = 0; // characters still to skip after \uN
    bool FIgnorableNext = false; // after \*
    int FCodePage;
    int FDefaultFont = 0;

    std::map<int, FontEntry> FFonts;
    int FFontEntry = -1; // the entry the font table is filling
    std::vector<QColor> FColors; // invalid entries: the automatic colour
    int FRed = -1, FGreen = -1, FBlue = -1;
    Picture FPicture;
    int FImageCount = 0;

    QTextCursor FCursor;
    bool FPendingPar = false; // a paragraph ended; the next content opens one
    QString FText;
    CharState FTextState;
    QByteArray FBytes;
    int FBytesCodePage = 0; // -1: UTF-8
    int FMemoFont = -2, FMemoCodePage = 0;
    // The last character format built; the font and colour tables it read
    // change only before the text, and their changes clear it.
    QTextCharFormat FFormat;
    CharState FFormatState;
    bool FFormatValid = false;
};

void TRtfReader::Run()
{
    FDoc.clear();
    FDoc.setUndoRedoEnabled(false);
    QFont font(FDefaults.FontName);
    font.setPointSizeF(FDefaults.PointSize);
    FDoc.setDefaultFont(font);
    SetRichTextDefaultTab(FDoc, 720);
    FCursor = QTextCursor(&FDoc);
    // One edit block for the whole reading: a cursor outside one lays out
    // every block with Qt's own layout after each insertion to find its x.
    FCursor.beginEditBlock();
    while (FPos < FSize && !FDone) {
        const char c = FData[FPos];
        switch (c) {
        case '{':
            ++FPos;
            OpenGroup();
            break;
        case '}':
            ++FPos;
            CloseGroup();
            break;
        case '\\':
            ++FPos;
            ControlWord();
            break;
        case '\r':
        case '\n':
            ++FPos;
            break;
        default:
            if (Cur().Destination == Dest::Picture)
                PictureBytes();
            else
                TextBytes();
        }
    }
    if (!FDone)
        Finish(); // truncated: keep what was read
    FCursor.endEditBlock();
}

void TRtfReader::OpenGroup()
{
    FSkipChars = 0;
    FIgnorableNext = false;
    // The outermost group is the document itself; groups beyond the depth
    // limit are dropped whole, so the stack never grows with the input.
    if (int(FStack.size()) > kRtfMaxGroupDepth) {
        SkipGroupContent();
        return;
    }
    FStack.push_back(FStack.back());
}

void TRtfReader::CloseGroup()
{
    FSkipChars = 0;
    FIgnorableNext = false;
    if (FStack.size() <= 1)
        return; // an unbalanced closing brace
    const Dest dest = Cur().Destination;
    if (dest == Dest::FontTable)
        CommitFontName();
    if (dest == Dest::ColorTable && (FRed >= 0 || FGreen >= 0 || FBlue >= 0))
        CommitColor(); // a last entry without its ';'
    if (FStack.size() == 2) {
        // The document's group ends: what follows is not part of it.
        Finish();
        FDone = true;
        return;
    }
    FStack.pop_back();
    if (dest == Dest::Picture && Cur().Destination != Dest::Picture)
        FinishPicture();
}

void TRtfReader::SkipGroupContent()
{
    int depth = 1;
    while (FPos < FSize) {
        const char c = FData[FPos++];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                return;
        } else if (c == '\\' && FPos < FSize) {
            // \binN data may hold braces: step over it whole.
            if (FSize - FPos >= 3 && std::string_view(FData + FPos, 3) == "bin") {
                qsizetype p = FPos + 3;
                qint64 n = 0;
                while (p < FSize && FData[p] >= '0' && FData[p] <= '9' && n < FSize)
                    n = n * 10 + (FData[p++] - '0');
                if (p < FSize && FData[p] == ' ')
                    ++p;
                FPos = p + std::min<qint64>(n, FSize - p);
            } else {
                ++FPos; // an escaped character (\{, \}, \\) or a word's first letter
            }
        }
    }
}

void TRtfReader::ControlWord()
{
    if (FPos >= FSize)
        return;
    const char first = FData[FPos];
    const bool isLetter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    if (!isLetter) {
        ++FPos;
        ControlSymbol(first);
        return;
    }
    const qsizetype start = FPos;
    while (FPos < FSize && ((FData[FPos] >= 'a' && FData[FPos] <= 'z') || (FData[FPos] >= 'A' && FData[FPos] <= 'Z')))
        ++FPos;
    const std::string_view word(FData + start, size_t(FPos - start));
    bool hasParam = false;
    bool negative = false;
    qint64 value = 0;
    if (FPos < FSize && FData[FPos] == '-' && FPos + 1 < FSize && FData[FPos + 1] >= '0' && FData[FPos + 1] <= '9') {
        negative = true;
        ++FPos;
    }
    while (FPos < FSize && FData[FPos] >= '0' && FData[FPos] <= '9') {
        hasParam = true;
        // Saturate: a parameter is a 16- or 32-bit number; longer digit
        // strings are damage, read to their end and kept in range.
        if (value < 0x80000000LL)
            value = value * 10 + (FData[FPos] - '0');
        ++FPos;
    }
    if (FPos < FSize && FData[FPos] == ' ')
        ++FPos; // the delimiting space belongs to the control word
    value = std::min<qint64>(value, 0x7FFFFFFF);
    const int param = int(negative ? -value : value);

    if (word.size() > 32) {
        FIgnorableNext = false;
        return; // no RTF word is that long
    }
    auto it = Keywords().find(word);
    const Kw kw = it == Keywords().end() ? Kw::Unknown : it->second;
    if (FSkipChars > 0 && kw != Kw::Bin) {
        --FSkipChars; // a control word stands for one skipped character after \uN
        return;
    }
    // \* before a destination this reader does not know skips the group
    // (\*\shppict is the picture itself); so do the destinations whose text
    // is not shown. The skipped group's closing brace is consumed with it.
    const bool unknownIgnorable = FIgnorableNext && kw == Kw::Unknown && word != "shppict";
    FIgnorableNext = false;
    if (unknownIgnorable || kw == Kw::SkipDest) {
        SkipGroupContent();
        CloseGroup();
        return;
    }
    Keyword(kw, hasParam, param);
}

void TRtfReader::ControlSymbol(char c)
{
    if (c == '*') {
        FIgnorableNext = true;
        return;
    }
    FIgnorableNext = false;
    if (c == '\'') {
        int byte = 0;
        int digits = 0;
        while (digits < 2 && FPos < FSize) {
            const char h = FData[FPos];
            int v;
            if (h >= '0' && h <= '9')
                v = h - '0';
            else if (h >= 'a' && h <= 'f')
                v = h - 'a' + 10;
            else if (h >= 'A' && h <= 'F')
                v = h - 'A' + 10;
            else
                break;
            byte = byte * 16 + v;
            ++digits;
            ++FPos;
        }
        if (FSkipChars > 0) {
            --FSkipChars;
            return;
        }
        if (digits == 0)
            return;
        const Dest dest = Cur().Destination;
        if (dest == Dest::Text)
            AddByte(uchar(byte), true);
        else if (dest == Dest::FontTable && FFontEntry >= 0 && FFonts[FFontEntry].NameBytes.size() < kMaxFontNameBytes)
            FFonts[FFontEntry].NameBytes.append(char(byte));
        return;
    }
    if (FSkipChars > 0) {
        --FSkipChars;
        return;
    }
    if (Cur().Destination == Dest::Picture)
        return;
    const bool inText = Cur().Destination == Dest::Text;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        if (inText)
            AddUnicode(char16_t(c));
        else if (Cur().Destination == Dest::FontTable && FFontEntry >= 0)
            FFonts[FFontEntry].NameBytes.append(c);
        break;
    case '~':
        if (inText)
            AddUnicode(0x00A0); // no-break space
        break;
    case '-':
        if (inText)
            AddUnicode(0x00AD); // optional hyphen
        break;
    case '_':
        if (inText)
            AddUnicode(0x2011); // non-breaking hyphen
        break;
    case '\r':
    case '\n':
        if (inText)
            EndParagraph(); // a backslash before a line end is \par
        break;
    case '\t':
        if (inText)
            AddUnicode(u'\t');
        break;
    default:
        break; // \| \: and unknown symbols
    }
}

void TRtfReader::Keyword(Kw kw, bool hasParam, int param)
{
    Group& g = Cur();
    CharState& c = g.Char;
    ParaState& p = g.Para;
    const bool on = !hasParam || param != 0;
    const Dest dest = g.Destination;
    if (dest != Dest::Text)
        FFormatValid = false; // the font and colour tables may change
    switch (kw) {
    case Kw::Unknown:
    case Kw::SkipDest:
        break;
    case Kw::Rtf:
    case Kw::Ansi:
        break;
    case Kw::Mac: FCodePage = 10000; break;
    case Kw::Pc: FCodePage = 437; break;
    case Kw::Pca: FCodePage = 850; break;
    case Kw::AnsiCpg:
        if (hasParam && param > 0 && param < 100000)
            FCodePage = param;
        FMemoFont = -2;
        break;
    case Kw::Deff:
        FDefaultFont = param;
        FMemoFont = -2;
        FFormatValid = false;
        break;
    case Kw::DefTab:
        if (param > 0)
            SetRichTextDefaultTab(FDoc, Clamp(param, 1, kMaxTwips));
        break;
    case Kw::Uc: g.UcSkip = Clamp(param, 0, 16); break;
    case Kw::U:
        if (dest == Dest::Text) {
            // A 16-bit signed number: negative values are the upper half.
            const int u = param < 0 ? param + 65536 : param;
            AddUnicode(u >= 0 && u <= 0xFFFF ? char16_t(u) : kReplacement);
        }
        FSkipChars = g.UcSkip;
        break;
    case Kw::Bin: SkipBinary(param); break;
    case Kw::FontTbl:
        g.Destination = Dest::FontTable;
        FFontEntry = -1;
        break;
    case Kw::ColorTbl:
        g.Destination = Dest::ColorTable;
        FColors.clear(); // each ';' ends an entry; the first is normally empty, the automatic colour
        FRed = FGreen = FBlue = -1;
        break;
    case Kw::Pict:
        g.Destination = Dest::Picture;
        FPicture = Picture();
        break;
    case Kw::F:
        if (dest == Dest::FontTable) {
            CommitFontName();
            FFontEntry = param;
            FFonts[param];
        } else {
            c.Font = param;
        }
        break;
    case Kw::FCharset:
        if (dest == Dest::FontTable && FFontEntry >= 0)
            FFonts[FFontEntry].Charset = Clamp(param, 0, 255);
        break;
    case Kw::FNil:
    case Kw::FTech:
    case Kw::FDecor:
        break;
    case Kw::FRoman:
        if (dest == Dest::FontTable && FFontEntry >= 0)
            FFonts[FFontEntry].FamilyFallback = QStringLiteral("Times New Roman");
        break;
    case Kw::FSwiss:
        if (dest == Dest::FontTable && FFontEntry >= 0)
            FFonts[FFontEntry].FamilyFallback = QStringLiteral("Arial");
        break;
    case Kw::FModern:
        if (dest == Dest::FontTable && FFontEntry >= 0)
            FFonts[FFontEntry].FamilyFallback = QStringLiteral("Courier New");
        break;
    case Kw::FScript:
        break;
    case Kw::Red: FRed = Clamp(param, 0, 255); break;
    case Kw::Green: FGreen = Clamp(param, 0, 255); break;
    case Kw::Blue: FBlue = Clamp(param, 0, 255); break;
    case Kw::Plain: c = CharState(); break;
    case Kw::B: c.Bold = on; break;
    case Kw::I: c.Italic = on; break;
    case Kw::Ul: c.Underline = on; break;
    case Kw::UlNone: c.Underline = false; break;
    case Kw::Strike: c.Strike = on; break;
    case Kw::V: c.Hidden = on; break;
    case Kw::Fs: c.HalfPoints = hasParam ? Clamp(param, 1, kMaxHalfPoints) : 24; break;
    case Kw::Cf: c.Color = std::max(0, param); break;
    case Kw::Cb: case Kw::Highlight: c.Back = std::max(0, param); break; // 0: no background
    case Kw::Pard: p = ParaState(); break;
    case Kw::Ql: p.Align = Qt::AlignLeft; break;
    case Kw::Qr: p.Align = Qt::AlignRight; break;
    case Kw::Qc: p.Align = Qt::AlignHCenter; break;
    case Kw::Qj: p.Align = Qt::AlignJustify; break;
    case Kw::Li: p.Left = Clamp(param, -kMaxTwips, kMaxTwips); break;
    case Kw::Ri: p.Right = Clamp(param, -kMaxTwips, kMaxTwips); break;
    case Kw::Fi: p.First = Clamp(param, -kMaxTwips, kMaxTwips); break;
    case Kw::Sb: p.Before = Clamp(param, 0, kMaxTwips); break;
    case Kw::Sa: p.After = Clamp(param, 0, kMaxTwips); break;
    case Kw::Sl: p.LineSpacing = Clamp(param, -kMaxTwips, kMaxTwips); break;
    case Kw::SlMult: p.LineMultiple = on; break;
    case Kw::Tx:
        if (p.Tabs.size() < kMaxTabStops)
            p.Tabs.append(Clamp(param, 0, kMaxTwips));
        break;
    case Kw::Par:
        if (dest == Dest::Text)
            EndParagraph();
        break;
    case Kw::ParEnd:
        if (dest == Dest::Text)
            EndParagraphUnlessJustEnded();
        break;
    case Kw::Line:
        if (dest == Dest::Text)
            AddUnicode(0x2028);
        break;
    case Kw::Tab: case Kw::Cell: // table cells read as tab-separated text
        if (dest == Dest::Text)
            AddUnicode(u'\t');
        break;
    case Kw::Emdash: AddUnicode(0x2014); break;
    case Kw::Endash: AddUnicode(0x2013); break;
    case Kw::Bullet: AddUnicode(0x2022); break;
    case Kw::Lquote: AddUnicode(0x2018); break;
    case Kw::Rquote: AddUnicode(0x2019); break;
    case Kw::Ldblquote: AddUnicode(0x201C); break;
    case Kw::Rdblquote: AddUnicode(0x201D); break;
    case Kw::Emspace: AddUnicode(0x2003); break;
    case Kw::Enspace: AddUnicode(0x2002); break;
    case Kw::Qmspace: AddUnicode(0x2005); break;
    case Kw::PngBlip: FPicture.Format = "png"; break;
    case Kw::JpegBlip: FPicture.Format = "jpeg"; break;
    case Kw::OtherBlip: FPicture.Other = true; break;
    case Kw::PicW: FPicture.W = param; break;
    case Kw::PicH: FPicture.H = param; break;
    case Kw::PicWGoal: FPicture.GoalW = Clamp(param, 0, kMaxTwips); break;
    case Kw::PicHGoal: FPicture.GoalH = Clamp(param, 0, kMaxTwips); break;
    case Kw::PicScaleX: FPicture.ScaleX = Clamp(param, 1, 1000); break;
    case Kw::PicScaleY: FPicture.ScaleY = Clamp(param, 1, 1000); break;
    }
}

void TRtfReader::SkipBinary(int count)
{
    const qsizetype n = std::min<qsizetype>(std::max(0, count), FSize - FPos);
    if (Cur().Destination == Dest::Picture)
        FPicture.Data.append(FData + FPos, n);
    FPos += n;
}

void TRtfReader::TextBytes()
{
    FIgnorableNext = false; // \* marks only a destination's first word
    const Dest dest = Cur().Destination;
    // A run of plain bytes up to the next brace, backslash or line end.
    qsizetype end = FPos;
    while (end < FSize) {
        const char c = FData[end];
        if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n')
            break;
        ++end;
    }
    while (FPos < end && FSkipChars > 0) {
        ++FPos;
        --FSkipChars;
    }
    if (FPos >= end)
        return;
    const char* p = FData + FPos;
    const qsizetype n = end - FPos;
    FPos = end;
    if (dest == Dest::FontTable) {
        for (qsizetype i = 0; i < n; ++i) {
            if (p[i] == ';') {
                CommitFontName();
            } else if (FFontEntry >= 0) {
                QByteArray& name = FFonts[FFontEntry].NameBytes;
                if (name.size() < kMaxFontNameBytes)
                    name.append(p[i]);
            }
        }
        return;
    }
    if (dest == Dest::ColorTable) {
        for (qsizetype i = 0; i < n; ++i)
            if (p[i] == ';')
                CommitColor();
        return;
    }
    // Text: ASCII in stretches, other bytes through the code page.
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && uchar(p[j]) >= 0x20 && uchar(p[j]) < 0x80)
            ++j;
        if (j > i) {
            AddAscii(p + i, j - i);
            i = j;
            continue;
        }
        const uchar b = uchar(p[i++]);
        if (b == '\t')
            AddUnicode(u'\t');
        else if (b >= 0x80)
            AddByte(b, false);
        // other control bytes are not text
    }
}

void TRtfReader::PictureBytes()
{
    FIgnorableNext = false;
    Picture& pic = FPicture;
    while (FPos < FSize) {
        const char c = FData[FPos];
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == '{' || c == '}' || c == '\\')
            return;
        else {
            ++FPos; // blanks and line ends between the hex digits
            continue;
        }
        ++FPos;
        if (pic.HighNibble < 0) {
            pic.HighNibble = v;
        } else {
            pic.Data.append(char(pic.HighNibble * 16 + v));
            pic.HighNibble = -1;
        }
    }
}

// --- building the document --------------------------------------------------------

bool TRtfReader::StartAdd()
{
    const CharState& c = Cur().Char;
    if (c.Hidden)
        return false;
    if ((!FText.isEmpty() || !FBytes.isEmpty()) && !(FTextState == c))
        FlushRun();
    FTextState = c;
    return true;
}

void TRtfReader::AddAscii(const char* p, qsizetype n)
{
    if (!StartAdd())
        return;
    if (IsMultiByteCodePage(CodePageOf(FTextState.Font)) && !FBytes.isEmpty()) {
        // In a double-byte code page an ASCII letter may be the trail byte
        // of the lead byte before it.
        FBytes.append(p, n);
        return;
    }
    FlushBytes();
    FText.append(QLatin1StringView(p, n));
}

void TRtfReader::AddByte(uchar b, bool escaped)
{
    if (!StartAdd())
        return;
    const int cp = (!escaped && FHighBytesUtf8) ? -1 : CodePageOf(FTextState.Font);
    if (!FBytes.isEmpty() && FBytesCodePage != cp)
        FlushBytes();
    FBytesCodePage = cp;
    FBytes.append(char(b));
}

void TRtfReader::AddUnicode(char16_t c)
{
    if (Cur().Destination != Dest::Text || !StartAdd())
        return;
    FlushBytes();
    FText.append(QChar(c));
}

void TRtfReader::FlushBytes()
{
    if (FBytes.isEmpty())
        return;
    if (FBytesCodePage == -1)
        FText.append(QString::fromUtf8(FBytes));
    else
        FText.append(DecodeCodePage(FBytesCodePage, FBytes.constData(), FBytes.size()));
    FBytes.clear();
}

void TRtfReader::FlushRun()
{
    FlushBytes();
    if (FText.isEmpty())
        return;
    // Only characters a paragraph can hold: no control characters (a
    // decoded \'0a must not split the block), no paragraph separators, no
    // object replacement characters that would pose as pictures, no
    // unpaired surrogates.
    QString clean;
    clean.reserve(FText.size());
    const qsizetype n = FText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = FText[i];
        const char16_t u = ch.unicode();
        if (ch.isHighSurrogate() && i + 1 < n && FText[i + 1].isLowSurrogate()) {
            clean.append(ch);
            clean.append(FText[++i]);
        } else if (ch.isSurrogate()) {
            clean.append(QChar(kReplacement));
        } else if (u < 0x20 && u != u'\t') {
            continue;
        } else if (u == 0x2029) {
            clean.append(QChar(0x2028));
        } else if (u == 0xFFFC || u == 0xFDD0 || u == 0xFDD1) {
            clean.append(QChar(kReplacement));
        } else {
            clean.append(ch);
        }
    }
    FText.clear();
    if (clean.isEmpty())
        return;
    OpenParagraph();
    FCursor.insertText(clean, CharFormat(FTextState));
}

void TRtfReader::OpenParagraph()
{
    if (FPendingPar) {
        FCursor.insertBlock();
        FPendingPar = false;
    }
}

void TRtfReader::EndParagraph()
{
    FlushRun();
    OpenParagraph(); // a paragraph mark right after another: an empty paragraph
    FCursor.setBlockFormat(BlockFormat(Cur().Para));
    FCursor.setBlockCharFormat(CharFormat(Cur().Char));
    FPendingPar = true;
}

void TRtfReader::EndParagraphUnlessJustEnded()
{
    FlushRun();
    if (!FPendingPar)
        EndParagraph();
}

void TRtfReader::Finish()
{
    FlushRun();
    if (Cur().Destination == Dest::Picture)
        FinishPicture();
    // The last paragraph mark of the document is the document's end, not an
    // empty paragraph after it; a last paragraph without one takes the
    // formatting in force at the end.
    if (!FPendingPar) {
        FCursor.setBlockFormat(BlockFormat(Cur().Para));
        FCursor.setBlockCharFormat(CharFormat(Cur().Char));
    }
}

const TRtfReader::FontEntry* TRtfReader::FontOf(int font) const
{
    auto it = FFonts.find(font < 0 ? FDefaultFont : font);
    if (it == FFonts.end() && font >= 0)
        it = FFonts.find(FDefaultFont);
    return it == FFonts.end() ? nullptr : &it->second;
}

int TRtfReader::CodePageOf(int font)
{
    if (font != FMemoFont) {
        const FontEntry* entry = FontOf(font);
        const int cp = entry ? CharsetCodePage(entry->Charset) : 0;
        FMemoFont = font;
        FMemoCodePage = cp ? cp : FCodePage;
    }
    return FMemoCodePage;
}

QTextCharFormat TRtfReader::CharFormat(const CharState& c)
{
    // Runs and paragraph marks mostly repeat the formatting before them.
    if (FFormatValid && c == FFormatState)
        return FFormat;
    QTextCharFormat f;
    const FontEntry* entry = FontOf(c.Font);
    QString name = FDefaults.FontName;
    if (entry && !entry->Name.isEmpty())
        name = entry->Name;
    else if (entry && !entry->FamilyFallback.isEmpty())
        name = entry->FamilyFallback;
    f.setFontFamilies(QStringList{name});
    f.setFontPointSize(c.HalfPoints / 2.0);
    f.setFontWeight(c.Bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.Italic);
    f.setFontUnderline(c.Underline);
    f.setFontStrikeOut(c.Strike);
    if (c.Color < int(FColors.size()) && FColors[c.Color].isValid())
        f.setForeground(FColors[c.Color]);
    if (c.Back > 0 && c.Back < int(FColors.size()) && FColors[c.Back].isValid())
        f.setBackground(FColors[c.Back]);
    if (entry && entry->Charset >= 0)
        f.setProperty(kRichTextCharsetProperty, entry->Charset);
    FFormat = f;
    FFormatState = c;
    FFormatValid = true;
    return f;
}

QTextBlockFormat TRtfReader::BlockFormat(const ParaState& p) const
{
    QTextBlockFormat f;
    f.setAlignment(p.Align);
    f.setLeftMargin(p.Left / kTwipsPerPixel);
    f.setRightMargin(p.Right / kTwipsPerPixel);
    f.setTextIndent(p.First / kTwipsPerPixel);
    f.setTopMargin(p.Before / kTwipsPerPixel);
    f.setBottomMargin(p.After / kTwipsPerPixel);
    if (!p.Tabs.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        QList<int> sorted = p.Tabs;
        std::sort(sorted.begin(), sorted.end());
        for (int t : sorted)
            tabs.append(QTextOption::Tab(t / kTwipsPerPixel, QTextOption::LeftTab));
        f.setTabPositions(tabs);
    }
    if (p.LineSpacing > 0 && p.LineMultiple)
        f.setLineHeight(p.LineSpacing * 100.0 / 240, QTextBlockFormat::ProportionalHeight);
    else if (p.LineSpacing > 0)
        f.setLineHeight(p.LineSpacing / kTwipsPerPixel, QTextBlockFormat::MinimumHeight);
    else if (p.LineSpacing < 0)
        f.setLineHeight(-p.LineSpacing / kTwipsPerPixel, QTextBlockFormat::FixedHeight);
    return f;
}

void TRtfReader::CommitFontName()
{
    if (FFontEntry < 0)
        return;
    FontEntry& e = FFonts[FFontEntry];
    if (!e.NameBytes.isEmpty()) {
        const int cp = CharsetCodePage(e.Charset);
        QString name = DecodeCodePage(cp ? cp : FCodePage, e.NameBytes.constData(), e.NameBytes.size()).trimmed();
        if (!name.isEmpty())
            e.Name = name;
        e.NameBytes.clear();
    }
    FMemoFont = -2;
    FFormatValid = false;
}

void TRtfReader::CommitColor()
{
    if (FRed < 0 && FGreen < 0 && FBlue < 0)
        FColors.push_back(QColor()); // an entry without components: automatic
    else
        FColors.push_back(QColor(std::max(0, FRed), std::max(0, FGreen), std::max(0, FBlue)));
    FRed = FGreen = FBlue = -1;
    FFormatValid = false;
}

void TRtfReader::FinishPicture()
{
    Picture pic = std::move(FPicture);
    FPicture = Picture();
    if (pic.Data.isEmpty() || Cur().Char.Hidden)
        return;
    QByteArray format = pic.Format;
    if (format.isEmpty()) {
        if (pic.Data.startsWith("\x89PNG"))
            format = "png";
        else if (pic.Data.startsWith("\xFF\xD8"))
            format = "jpeg";
        else
            return; // metafiles, device-independent bitmaps: not read here
    }
    if (format == "png" && !pic.Data.contains("IEND"))
        return; // cut short: not worth a decoder's complaints
    QBuffer buffer(&pic.Data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > kRtfMaxPicturePixels)
        return;
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return;
    // The shown size: the goal size in twips when given, else the pixels;
    // both scaled by the percentages.
    qreal w = pic.GoalW > 0 ? pic.GoalW / kTwipsPerPixel : image.width();
    qreal h = pic.GoalH > 0 ? pic.GoalH / kTwipsPerPixel : image.height();
    w = std::clamp(w * pic.ScaleX / 100.0, 1.0, kMaxTwips / kTwipsPerPixel);
    h = std::clamp(h * pic.ScaleY / 100.0, 1.0, kMaxTwips / kTwipsPerPixel);

    const QString name = QStringLiteral("vorel-rtf-image:%1").arg(++FImageCount);
    FDoc.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(image));
    FlushRun();
    OpenParagraph();
    QTextImageFormat f;
    f.merge(CharFormat(Cur().Char));
    f.setName(name);
    f.setWidth(w);
    f.setHeight(h);
    FCursor.insertImage(f);
}

} // namespace

void ReadRtf(QTextDocument& doc, const QByteArray& rtf, const TRichTextDefaults& defaults, bool highBytesAreUtf8)
{
    TRtfReader reader(doc, rtf, defaults, highBytesAreUtf8);
    reader.Run();
}

} // namespace vorel
