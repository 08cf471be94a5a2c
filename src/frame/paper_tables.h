#pragma once
// Paper sizes, paper sources and duplex modes with their device-mode codes,
// and the conversions between printer device pixels, tenths of a millimetre
// and report pixels (1/96 inch). docs/ARCHITECTURE.md ("Paper and units")
// says which unit each stored value has.

#include "foundation/components/component.h"
#include "graphics/printer.h"

#include <array>

namespace vorel {

class TKVXPrinterEnums {
    Q_GADGET
public:
    enum TKVXPaperSize {
        psDefault,
        psLetter,
        psLetterSmall,
        psTabloid,
        psLedger,
        psLegal,
        psStatement,
        psExecutive,
        psA2,
        psA3,
        psA3Transverse,
        psA4,
        psA4Small,
        psA4Transverse,
        psA5,
        psB4,
        psB5,
        psFolio,
        psQuarto,
        psQr10X14,
        psQr11X17,
        psNote,
        psEnv9,
        psEnv10,
        psEnv11,
        psEnv12,
        psEnv14,
        psCSheet,
        psDSheet,
        psESheet,
        psCustom
    };
    Q_ENUM(TKVXPaperSize)
    Q_CLASSINFO("Doc.psDefault", "The printer's current paper.")
    Q_CLASSINFO("Doc.psLetter", "Letter, 8 1/2 x 11 in.")
    Q_CLASSINFO("Doc.psLetterSmall", "Letter Small, 8 1/2 x 11 in.")
    Q_CLASSINFO("Doc.psTabloid", "Tabloid, 11 x 17 in.")
    Q_CLASSINFO("Doc.psLedger", "Ledger, 17 x 11 in.")
    Q_CLASSINFO("Doc.psLegal", "Legal, 8 1/2 x 14 in.")
    Q_CLASSINFO("Doc.psStatement", "Statement, 5 1/2 x 8 1/2 in.")
    Q_CLASSINFO("Doc.psExecutive", "Executive, 7 1/2 x 10 in.")
    Q_CLASSINFO("Doc.psA2", "A2, 420 x 594 mm.")
    Q_CLASSINFO("Doc.psA3", "A3, 297 x 420 mm.")
    Q_CLASSINFO("Doc.psA3Transverse", "A3 turned sideways, 420 x 297 mm.")
    Q_CLASSINFO("Doc.psA4", "A4, 210 x 297 mm.")
    Q_CLASSINFO("Doc.psA4Small", "A4 Small, 210 x 297 mm.")
    Q_CLASSINFO("Doc.psA4Transverse", "A4 turned sideways, 297 x 210 mm.")
    Q_CLASSINFO("Doc.psA5", "A5, 148 x 210 mm.")
    Q_CLASSINFO("Doc.psB4", "B4, 250 x 354 mm.")
    Q_CLASSINFO("Doc.psB5", "B5, 182 x 257 mm.")
    Q_CLASSINFO("Doc.psFolio", "Folio, 8 1/2 x 13 in.")
    Q_CLASSINFO("Doc.psQuarto", "Quarto, 215 x 275 mm.")
    Q_CLASSINFO("Doc.psQr10X14", "10 x 14 in.")
    Q_CLASSINFO("Doc.psQr11X17", "11 x 17 in.")
    Q_CLASSINFO("Doc.psNote", "Note, 8 1/2 x 11 in.")
    Q_CLASSINFO("Doc.psEnv9", "Envelope #9, 3 7/8 x 8 7/8 in.")
    Q_CLASSINFO("Doc.psEnv10", "Envelope #10, 4 1/8 x 9 1/2 in.")
    Q_CLASSINFO("Doc.psEnv11", "Envelope #11, 4 1/2 x 10 3/8 in.")
    Q_CLASSINFO("Doc.psEnv12", "Envelope #12, 4 3/4 x 11 in.")
    Q_CLASSINFO("Doc.psEnv14", "Envelope #14, 5 x 11 1/2 in.")
    Q_CLASSINFO("Doc.psCSheet", "C size sheet, 17 x 22 in.")
    Q_CLASSINFO("Doc.psDSheet", "D size sheet, 22 x 34 in.")
    Q_CLASSINFO("Doc.psESheet", "E size sheet, 34 x 44 in.")
    Q_CLASSINFO("Doc.psCustom", "The size given in PaperSizeWidth and PaperSizeHeight.")
    enum TKVXPrinterOrientation { spoDefault, spoPortrait, spoLandscape };
    Q_ENUM(TKVXPrinterOrientation)
    Q_CLASSINFO("Doc.spoDefault", "As the printer is set.")
    Q_CLASSINFO("Doc.spoPortrait", "Upright.")
    Q_CLASSINFO("Doc.spoLandscape", "Turned sideways: the paper's width and height swap.")
    enum TKVXBin {
        sbDefault,
        sbFirst,
        sbUpper,
        sbLower,
        sbMiddle,
        sbManual,
        sbEnvelope,
        sbEnvManual,
        sbAuto,
        sbTractor,
        sbSmallFormat,
        sbLargeFormat,
        sbLargeCapacity,
        sbCassette,
        sbLast
    };
    Q_ENUM(TKVXBin)
    Q_CLASSINFO("Doc.sbDefault", "The printer's default paper source.")
    Q_CLASSINFO("Doc.sbFirst", "The first tray.")
    Q_CLASSINFO("Doc.sbUpper", "The upper tray.")
    Q_CLASSINFO("Doc.sbLower", "The lower tray.")
    Q_CLASSINFO("Doc.sbMiddle", "The middle tray.")
    Q_CLASSINFO("Doc.sbManual", "Manual feed.")
    Q_CLASSINFO("Doc.sbEnvelope", "The envelope feeder.")
    Q_CLASSINFO("Doc.sbEnvManual", "Manual envelope feed.")
    Q_CLASSINFO("Doc.sbAuto", "Chosen by the printer.")
    Q_CLASSINFO("Doc.sbTractor", "Tractor feed.")
    Q_CLASSINFO("Doc.sbSmallFormat", "The small-format source.")
    Q_CLASSINFO("Doc.sbLargeFormat", "The large-format source.")
    Q_CLASSINFO("Doc.sbLargeCapacity", "The large-capacity tray.")
    Q_CLASSINFO("Doc.sbCassette", "The cassette.")
    Q_CLASSINFO("Doc.sbLast", "The last tray.")
    enum TKVXDuplex { sdDefault, sdNone, sdHorizontal, sdVertical };
    Q_ENUM(TKVXDuplex)
    Q_CLASSINFO("Doc.sdDefault", "As the printer is set.")
    Q_CLASSINFO("Doc.sdNone", "One side of the sheet only.")
    Q_CLASSINFO("Doc.sdHorizontal", "Both sides, turned over the long edge.")
    Q_CLASSINFO("Doc.sdVertical", "Both sides, turned over the short edge.")
};
using TKVXPaperSize = TKVXPrinterEnums::TKVXPaperSize;
using TKVXPrinterOrientation = TKVXPrinterEnums::TKVXPrinterOrientation;
using TKVXBin = TKVXPrinterEnums::TKVXBin;
using TKVXDuplex = TKVXPrinterEnums::TKVXDuplex;
using enum TKVXPrinterEnums::TKVXPaperSize;
using enum TKVXPrinterEnums::TKVXPrinterOrientation;
using enum TKVXPrinterEnums::TKVXBin;
using enum TKVXPrinterEnums::TKVXDuplex;

constexpr int KVX_PAPER_SIZE_COUNT = int(psCustom) + 1;
constexpr int KVX_BIN_COUNT = int(sbLast) + 1;

// Width and height of each paper in 0.1 mm, upright, as its name states
// it. psDefault has no size of its own (the printer's paper); psCustom's
// 0 x 1 keeps the width unset until the user enters one.
struct TPaperMetrics {
    int Width = 0;  // 0.1 mm
    int Height = 0; // 0.1 mm
    friend bool operator==(const TPaperMetrics&, const TPaperMetrics&) = default;
};
extern const std::array<TPaperMetrics, KVX_PAPER_SIZE_COUNT> constKVXPaperSizeMetrics;
// The device-mode paper code of each paper (DMPAPER_*; psCustom 256 = user size).
extern const std::array<int, KVX_PAPER_SIZE_COUNT> constKVXPaperTranslate;
// The device-mode paper source code (DMBIN_*) of each bin from sbFirst on;
// index 0 is sbFirst. sbDefault has no code.
extern const std::array<int, KVX_BIN_COUNT - 1> constKVXBinTranslate;

constexpr int KVX_PAPER_NAME_ID = 1950;  // + TKVXPaperSize
constexpr int KVX_DUPLEX_NAME_ID = 1981; // + TKVXDuplex
constexpr int KVX_BIN_NAME_ID = 1985;    // + TKVXBin

QString PaperSizeName(int lang, TKVXPaperSize size);
QString DuplexName(int lang, TKVXDuplex duplex);
QString BinName(int lang, TKVXBin bin);

// The device-mode code of a bin (0 for sbDefault).
int BinCode(TKVXBin bin);
// The first paper size whose code equals code; psDefault when none does.
TKVXPaperSize PaperSizeFromCode(int code);
// The first bin from sbFirst on whose code equals code; sbFirst when none
// does (a source of 1 reads back as sbFirst, not sbUpper).
TKVXBin BinFromCode(int code);

// --- conversions -------------------------------------------------------------------------
// The printer formulas divide as integers, truncating toward zero, with a
// 64-bit intermediate product. A divisor of 0 or less (a device that
// reports no resolution) gives 0 instead of a crash.
int MulDivTrunc(qint64 value, qint64 numerator, qint64 denominator);
// The same, rounded half away from zero.
int MulDivRound(qint64 value, qint64 numerator, qint64 denominator);

constexpr int kTenthsOfMmPerInch = 254;

// 0.1 mm -> report pixels (rounded: A4's 2100 x 2970 gives 794 x 1123).
int TenthsOfMmToReportPixels(int tenthsOfMm, int screenPPI);
// Printer device pixels -> 0.1 mm (rounded).
int DevicePixelsToTenthsOfMm(int devicePixels, int printerPPI);
// 0.1 mm -> printer device pixels (truncated, as the printer formulas are).
int TenthsOfMmToDevicePixels(int tenthsOfMm, int printerPPI);

// The page formulas read the printer's device capabilities (TDeviceCaps:
// resolution in pixels per inch, everything else in printer pixels).

// User margins for the offset formulas. Margins are in 0.1 mm; each is
// first converted to printer pixels with the printer's resolution.
struct TMarginValues {
    bool ByDefault = true;
    int Left = 0;   // 0.1 mm
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// The page formulas; S is the screen's pixels per inch (report pixels).
int PageWidthFromMetrics(const TDeviceCaps& m, int screenPPI);  // S * physical width / PX
int PageHeightFromMetrics(const TDeviceCaps& m, int screenPPI); // S * physical height / PY
int PageOffsetLeft(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI);
int PageOffsetTop(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI);
int PageOffsetRight(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI);
int PageOffsetBottom(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI);

} // namespace vorel
