#pragma once
// The printer, paper and margin settings of a print component, and the
// conversion of the printer's physical measures into report pixels: the
// page size and the four page offsets of every new page come from here.
//
// Units (docs/ARCHITECTURE.md, "Paper and units"): PaperSizeWidth and
// PaperSizeHeight are in 0.1 mm for every paper size; the user margins are
// in 0.1 mm; every size and offset handed to pages is in report pixels.

#include "foundation/values/errors.h"
#include "frame/paper_tables.h"
#include "graphics/printer.h"

namespace vorel {

// "No printer installed": printing needs a real printer and there is none.
// Measuring never raises it: when no printer is installed the printer
// services' virtual printer stands in, so reports prepare anywhere.
class EKVXNoPrinterError : public EKVXError {
public:
    using EKVXError::EKVXError;
};

constexpr int KVX_NO_PRINTER_TEXT_ID = 2078;

// What a new page takes from the settings, all in report pixels.
struct TPageGeometry {
    int Width = 0;
    int Height = 0;
    int OffsetLeft = 0;
    int OffsetTop = 0;
    int OffsetRight = 0;
    int OffsetBottom = 0;
    friend bool operator==(const TPageGeometry&, const TPageGeometry&) = default;
};

class TKVXPageMargins : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The page margins of a report, in 0.1 mm.")
    Q_PROPERTY(bool ByDefault READ ByDefault WRITE SetByDefault)
    Q_CLASSINFO("Doc.ByDefault", "Uses the printer's unprintable strips as the margins instead of the four values.")
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_CLASSINFO("Doc.Left", "The left margin in 0.1 mm, used when ByDefault is off.")
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_CLASSINFO("Doc.Top", "The top margin in 0.1 mm, used when ByDefault is off.")
    Q_PROPERTY(int Right READ Right WRITE SetRight)
    Q_CLASSINFO("Doc.Right", "The right margin in 0.1 mm, used when ByDefault is off; never less than the printer's "
                             "unprintable strip.")
    Q_PROPERTY(int Bottom READ Bottom WRITE SetBottom)
    Q_CLASSINFO("Doc.Bottom", "The bottom margin in 0.1 mm, used when ByDefault is off; never less than the "
                              "printer's unprintable strip.")
public:
    Q_INVOKABLE explicit TKVXPageMargins(QObject* owner = nullptr) : TPersistent(owner) {}

    // Use the printer's unprintable area instead of the values below.
    bool ByDefault() const { return FByDefault; }
    void SetByDefault(bool value) { FByDefault = value; }
    int Left() const { return FLeft; } // 0.1 mm
    void SetLeft(int value) { FLeft = value; }
    int Top() const { return FTop; } // 0.1 mm
    void SetTop(int value) { FTop = value; }
    int Right() const { return FRight; } // 0.1 mm
    void SetRight(int value) { FRight = value; }
    int Bottom() const { return FBottom; } // 0.1 mm
    void SetBottom(int value) { FBottom = value; }

    TMarginValues Values() const { return {FByDefault, FLeft, FTop, FRight, FBottom}; }
    void Assign(const TPersistent* source) override;

private:
    bool FByDefault = true;
    int FLeft = 0;
    int FTop = 0;
    int FRight = 0;
    int FBottom = 0;
};

class TKVXPrinter : public TPersistent {
    Q_OBJECT
    Q_CLASSINFO("Doc", "The printer and paper settings of a report: printer, paper size and orientation, margins, "
                       "paper source, duplex and copies. Without a printer a virtual one (600 dpi, A4 or Letter by "
                       "the locale) stands in.")
    Q_PROPERTY(int PrinterIndex READ PrinterIndex WRITE SetPrinterIndex)
    Q_CLASSINFO("Doc.PrinterIndex", "The printer's position in the system's printer list; -1: the default printer.")
    Q_PROPERTY(QString PrinterName READ PrinterName WRITE SetPrinterName)
    Q_CLASSINFO("Doc.PrinterName", "The printer's name; setting it selects that printer (PrinterIndex -1 when it is "
                                   "not installed).")
    Q_PROPERTY(vorel::TKVXPageMargins* Margins READ Margins WRITE SetMargins)
    Q_CLASSINFO("Doc.Margins", "The page margins.")
    Q_PROPERTY(vorel::TKVXPrinterEnums::TKVXPaperSize PaperSize READ PaperSize WRITE SetPaperSize)
    Q_CLASSINFO("Doc.PaperSize", "The paper: a named size, psCustom (PaperSizeWidth x PaperSizeHeight) or psDefault "
                                 "(the printer's paper).")
    Q_PROPERTY(int PaperSizeWidth READ GetPaperSizeWidth WRITE SetPaperSizeWidth)
    Q_CLASSINFO("Doc.PaperSizeWidth", "The paper width in 0.1 mm: a named size's own, the printer's for psDefault, "
                                      "or as entered for psCustom.")
    Q_CLASSINFO("DocDefault.PaperSizeWidth", "the printer's paper (2100 for A4, 2159 for Letter)")
    Q_PROPERTY(int PaperSizeHeight READ GetPaperSizeHeight WRITE SetPaperSizeHeight)
    Q_CLASSINFO("Doc.PaperSizeHeight", "The paper height in 0.1 mm: a named size's own, the printer's for psDefault, "
                                       "or as entered for psCustom.")
    Q_CLASSINFO("DocDefault.PaperSizeHeight", "the printer's paper (2970 for A4, 2794 for Letter)")
    Q_PROPERTY(vorel::TKVXPrinterEnums::TKVXPrinterOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_CLASSINFO("Doc.Orientation", "Portrait or landscape; spoDefault keeps the printer's.")
    Q_PROPERTY(vorel::TKVXPrinterEnums::TKVXBin OutputBin READ OutputBin WRITE SetOutputBin)
    Q_CLASSINFO("Doc.OutputBin", "The paper source.")
    Q_PROPERTY(vorel::TKVXPrinterEnums::TKVXDuplex Duplex READ Duplex WRITE SetDuplex)
    Q_CLASSINFO("Doc.Duplex", "Printing on one or both sides of the sheet.")
    Q_PROPERTY(int Copies READ Copies WRITE SetCopies)
    Q_CLASSINFO("Doc.Copies", "How many copies print.")
    Q_PROPERTY(bool Collate READ Collate WRITE SetCollate)
    Q_CLASSINFO("Doc.Collate", "Prints the copies as whole sets (1, 2, 3, 1, 2, 3) instead of each page's copies "
                               "together.")
public:
    // Applies psDefault (the printer's paper; a failure to read it is ignored).
    Q_INVOKABLE explicit TKVXPrinter(QObject* owner = nullptr);
    ~TKVXPrinter() override;

    // --- published ---
    int PrinterIndex() const { return FPrinterIndex; }
    // A new value selects that printer in the system printer object at once.
    void SetPrinterIndex(int value);
    QString PrinterName() const { return FPrinterName; }
    // A new value sets PrinterIndex to the name's position in the printer
    // list (-1 when absent).
    void SetPrinterName(const QString& value);
    TKVXPageMargins* Margins() const { return FMargins; }
    void SetMargins(const TKVXPageMargins* value); // copies the five values
    TKVXPaperSize PaperSize() const { return FPaperSize; }
    // Sets the paper width and height: a named paper's size from the table
    // (turned when the orientation is landscape), or for psDefault the
    // printer's paper. An unknown value changes nothing.
    void SetPaperSize(TKVXPaperSize size);
    // 0.1 mm. Read through a getter that re-applies the paper size while the
    // stored value is below 1 (psCustom's width stays 0 until set).
    int GetPaperSizeWidth();
    int GetPaperSizeHeight();
    void SetPaperSizeWidth(int tenthsOfMm) { FPaperSizeWidth = tenthsOfMm; }
    void SetPaperSizeHeight(int tenthsOfMm) { FPaperSizeHeight = tenthsOfMm; }
    TKVXPrinterOrientation Orientation() const { return FOrientation; }
    // Portrait after landscape or landscape after portrait swaps the paper
    // width and height; changes from or to spoDefault swap nothing.
    void SetOrientation(TKVXPrinterOrientation value);
    TKVXBin OutputBin() const { return FOutputBin; }
    void SetOutputBin(TKVXBin value) { FOutputBin = value; }
    TKVXDuplex Duplex() const { return FDuplex; }
    void SetDuplex(TKVXDuplex value) { FDuplex = value; }
    int Copies() const { return FCopies; }
    void SetCopies(int value) { FCopies = value; }
    bool Collate() const { return FCollate; }
    void SetCollate(bool value) { FCollate = value; }

    // --- measures of the current printer (the virtual one when none is
    // installed) ---
    static int GetScreenPPI(); // report pixels per inch
    int GetPixelsPerInchX() const;
    int GetPixelsPerInchY() const;
    // The printer's physical page in report pixels.
    int GetPageWidth() const;
    int GetPageHeight() const;
    // Page offsets in report pixels.
    int GetPageOffsetLeft() const;
    int GetPageOffsetRight() const;
    int GetPageOffsetTop() const;
    int GetPageOffsetBottom() const;
    // The page size new pages get, in report pixels: the paper's physical
    // size (A4 = 794 x 1123), for psDefault the printer's current paper.
    int GetPaperWidthPixels();
    int GetPaperHeightPixels();
    // The page size and the four offsets from one reading of the printer.
    TPageGeometry GetPageGeometry();

    // Reads the current printer's device mode into this object (paper,
    // margins from its unprintable area, bin, orientation, duplex).
    void GetPrinterSettings(TPrinterService& printer = TPrinterService::Instance());
    // Writes paper, bin, orientation and duplex into the current printer's
    // device mode; fields the printer does not support are left alone.
    // Every error is swallowed.
    void SetPrinterSettings(TPrinterService& printer = TPrinterService::Instance());

    // Raises EKVXNoPrinterError unless a real printer is installed: for
    // printing, which the virtual printer cannot do for the user.
    void CheckInstalledPrinter() const;

    // The names read by GetPrinterSettings.
    QString DeviceName() const { return FDevice; }
    QString DriverName() const { return FDriver; } // file name only, at most 63 characters
    QString PortName() const { return FPort; }

    void Assign(const TPersistent* source) override;

private:
    static TDeviceCaps Caps();
    // The width and height SetPaperSize gives, in 0.1 mm.
    TPaperMetrics PaperFor(TKVXPaperSize size) const;
    static TPaperMetrics PrinterPaper(const TDeviceCaps& m);

    int FPrinterIndex = -1;
    QString FPrinterName;
    TKVXPageMargins* FMargins; // owned (child)
    TKVXPaperSize FPaperSize = psDefault;
    int FPaperSizeWidth = 0;  // 0.1 mm
    int FPaperSizeHeight = 0; // 0.1 mm
    TKVXPrinterOrientation FOrientation = spoDefault;
    TKVXBin FOutputBin = sbDefault;
    TKVXDuplex FDuplex = sdDefault;
    int FCopies = 1;
    bool FCollate = false;
    QString FDevice;
    QString FDriver;
    QString FPort;
};

// The "No printer installed" error in the given language.
[[noreturn]] void RaiseNoPrinter(int lang = 0);
// The driver name as stored: the file name without its folder, at most 63
// characters.
QString DriverFileName(const QString& driver);

} // namespace vorel
