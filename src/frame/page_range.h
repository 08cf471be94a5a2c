#pragma once
// Page lists from page-range texts such as "1,3,5-12", as the print and
// save dialogs and the command-line tool take them.

#include <QList>
#include <QString>

namespace vorel {

class TStringList;

// Parses a page-range text. Runs of digits are numbers, every other
// character separates; a hyphen after a number opens a range closed by the
// next number (5-3 gives only 3 and 5, a trailing hyphen adds nothing, in
// 1-3-5 the second hyphen is a plain separator). Numbers are not compared
// with any page count. A number beyond 32 bits raises EConvertError; so
// does a text naming more than kMaxPageListSize pages, which no report has
// and which would otherwise fill the memory with a list.
QList<int> GetValidPageNumbers(QStringView text);
// The same list, sorted, as the decimal texts of the numbers (the classic
// form: membership is tested by comparing texts).
void GetValidPages(QStringView text, TStringList* list);

inline constexpr int kMaxPageListSize = 1'000'000;

// The page choices of the print and save dialogs.
enum class TPageRangeKind { All, Current, Even, Odd, Range };

// The page list a dialog's choice gives: the range text's pages (as
// GetValidPageNumbers, raising the same errors), the current page alone,
// or every, every even or every odd number from 1 to numPages.
QList<int> DialogPageList(TPageRangeKind kind, QStringView rangeText, int numPages, int currentPage);

} // namespace vorel
