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
    enum TKVXPrinterOrientation { spoDefault, spoPortrait, spoLandscape };
    Q_ENUM(TKVXPrinterOrientation)
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
    enum TKVXDuplex { sdDefault, sdNone, sdHorizontal, sdVertical };
    Q_ENUM(TKVXDuplex)
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
