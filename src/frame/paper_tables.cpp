#include "frame/paper_tables.h"

#include "foundation/language/language.h"

#include <algorithm>
#include <limits>

namespace vorel {

const std::array<TPaperMetrics, KVX_PAPER_SIZE_COUNT> constKVXPaperSizeMetrics = {{
    {0, 0},       // psDefault: the printer's paper
    {2159, 2794}, // psLetter
    {2159, 2794}, // psLetterSmall
    {2794, 4318}, // psTabloid
    {4318, 2794}, // psLedger
    {2159, 3556}, // psLegal
    {1397, 2159}, // psStatement
    {1905, 2540}, // psExecutive
    {4200, 5940}, // psA2
    {2970, 4200}, // psA3
    {4200, 2970}, // psA3Transverse
    {2100, 2970}, // psA4
    {2100, 2970}, // psA4Small
    {2970, 2100}, // psA4Transverse
    {1480, 2100}, // psA5
    {2500, 3540}, // psB4
    {1820, 2570}, // psB5
    {2159, 3302}, // psFolio
    {2150, 2750}, // psQuarto
    {2540, 3556}, // psQr10X14
    {2794, 4318}, // psQr11X17
    {2159, 2794}, // psNote: 8 1/2 x 11 in
    {984, 2254},  // psEnv9
    {1048, 2413}, // psEnv10
    {1143, 2635}, // psEnv11
    {1207, 2794}, // psEnv12: 4 3/4 x 11 in
    {1270, 2921}, // psEnv14
    {4318, 5588},  // psCSheet: 17 x 22 in
    {5588, 8636},  // psDSheet: 22 x 34 in
    {8636, 11176}, // psESheet: 34 x 44 in
    {0, 1},       // psCustom: width unset until entered
}};

const std::array<int, KVX_PAPER_SIZE_COUNT> constKVXPaperTranslate = {
    0, 1, 2, 3, 4, 5, 6, 7, 66, 8, 67, 9, 10, 55, 11, 12,
    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 256,
};

const std::array<int, KVX_BIN_COUNT - 1> constKVXBinTranslate = {
    1,  // sbFirst
    1,  // sbUpper
    2,  // sbLower
    3,  // sbMiddle
    4,  // sbManual
    5,  // sbEnvelope
    6,  // sbEnvManual
    7,  // sbAuto
    8,  // sbTractor
    9,  // sbSmallFormat
    10, // sbLargeFormat
    11, // sbLargeCapacity
    14, // sbCassette
    15, // sbLast
};

QString PaperSizeName(int lang, TKVXPaperSize size)
{
    return GetString(lang, KVX_PAPER_NAME_ID + int(size));
}

QString DuplexName(int lang, TKVXDuplex duplex)
{
    return GetString(lang, KVX_DUPLEX_NAME_ID + int(duplex));
}

QString BinName(int lang, TKVXBin bin)
{
    return GetString(lang, KVX_BIN_NAME_ID + int(bin));
}

int BinCode(TKVXBin bin)
{
    if (int(bin) < int(sbFirst) || int(bin) > int(sbLast))
        return 0;
    return constKVXBinTranslate[size_t(int(bin) - int(sbFirst))];
}

TKVXPaperSize PaperSizeFromCode(int code)
{
    for (int i = 0; i < KVX_PAPER_SIZE_COUNT; ++i) {
        if (constKVXPaperTranslate[size_t(i)] == code)
            return TKVXPaperSize(i);
    }
    return psDefault;
}

TKVXBin BinFromCode(int code)
{
    for (int i = int(sbFirst); i <= int(sbLast); ++i) {
        if (constKVXBinTranslate[size_t(i - int(sbFirst))] == code)
            return TKVXBin(i);
    }
    return sbFirst;
}

// --- conversions -------------------------------------------------------------------------

namespace {
int Clamp32(qint64 v)
{
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
} // namespace

int MulDivTrunc(qint64 value, qint64 numerator, qint64 denominator)
{
    if (denominator <= 0)
        return 0;
    return Clamp32(value * numerator / denominator); // C++ division truncates toward zero
}

int MulDivRound(qint64 value, qint64 numerator, qint64 denominator)
{
    if (denominator <= 0)
        return 0;
    const qint64 p = value * numerator;
    const qint64 q = (2 * (p < 0 ? -p : p) + denominator) / (2 * denominator);
    return Clamp32(p < 0 ? -q : q);
}

int TenthsOfMmToReportPixels(int tenthsOfMm, int screenPPI)
{
    return MulDivRound(tenthsOfMm, screenPPI, kTenthsOfMmPerInch);
}

int DevicePixelsToTenthsOfMm(int devicePixels, int printerPPI)
{
    return MulDivRound(devicePixels, kTenthsOfMmPerInch, printerPPI);
}

int TenthsOfMmToDevicePixels(int tenthsOfMm, int printerPPI)
{
    return MulDivTrunc(tenthsOfMm, printerPPI, kTenthsOfMmPerInch);
}

int PageWidthFromMetrics(const TDeviceCaps& m, int screenPPI)
{
    return MulDivTrunc(screenPPI, m.PhysicalWidth, m.PixelsPerInchX);
}

int PageHeightFromMetrics(const TDeviceCaps& m, int screenPPI)
{
    return MulDivTrunc(screenPPI, m.PhysicalHeight, m.PixelsPerInchY);
}

int PageOffsetLeft(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI)
{
    const int device = margins.ByDefault ? m.PhysicalOffsetX : TenthsOfMmToDevicePixels(margins.Left, m.PixelsPerInchX);
    return std::max(0, MulDivTrunc(screenPPI, device, m.PixelsPerInchX));
}

int PageOffsetTop(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI)
{
    const int device = margins.ByDefault ? m.PhysicalOffsetY : TenthsOfMmToDevicePixels(margins.Top, m.PixelsPerInchY);
    return std::max(0, MulDivTrunc(screenPPI, device, m.PixelsPerInchY));
}

int PageOffsetRight(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI)
{
    // The unprintable strip at the right: what is left of the page after the
    // left offset and the printable width.
    const int strip = PageWidthFromMetrics(m, screenPPI) - PageOffsetLeft(m, margins, screenPPI)
                      - MulDivTrunc(screenPPI, m.PrintableWidth, m.PixelsPerInchX);
    int result = strip;
    if (!margins.ByDefault) {
        const int device = TenthsOfMmToDevicePixels(margins.Right, m.PixelsPerInchX);
        result = std::max(strip, MulDivTrunc(screenPPI, device, m.PixelsPerInchX));
    }
    return std::max(0, result);
}

int PageOffsetBottom(const TDeviceCaps& m, const TMarginValues& margins, int screenPPI)
{
    const int strip = PageHeightFromMetrics(m, screenPPI) - PageOffsetTop(m, margins, screenPPI)
                      - MulDivTrunc(screenPPI, m.PrintableHeight, m.PixelsPerInchY);
    int result = strip;
    if (!margins.ByDefault) {
        const int device = TenthsOfMmToDevicePixels(margins.Bottom, m.PixelsPerInchY);
        result = std::max(strip, MulDivTrunc(screenPPI, device, m.PixelsPerInchY));
    }
    return std::max(0, result);
}

} // namespace vorel
