#include "frame/page_range.h"

#include "foundation/components/component.h"
#include "foundation/values/errors.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vorel {

namespace {

void Compact(std::vector<int>& numbers)
{
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

// Adds a number, keeping the list within bounds: duplicates are dropped
// before the bound is judged, so repeating a range is no error.
void Add(std::vector<int>& numbers, int number, QStringView text)
{
    numbers.push_back(number);
    if (numbers.size() <= std::size_t(kMaxPageListSize))
        return;
    Compact(numbers);
    if (numbers.size() > std::size_t(kMaxPageListSize))
        throw EConvertError(
            QStringLiteral("The page range \"%1\" names more than %2 pages").arg(text).arg(kMaxPageListSize));
}

} // namespace

QList<int> GetValidPageNumbers(QStringView text)
{
    std::vector<int> numbers;
    std::optional<qint64> rangeStart; // the number after the last one that ended outside a range
    bool rangeOpen = false;
    qsizetype tokenBegin = -1;

    const auto endToken = [&](qsizetype end) {
        if (tokenBegin < 0)
            return;
        const QStringView digits = text.mid(tokenBegin, end - tokenBegin);
        tokenBegin = -1;
        bool ok = false;
        const int number = digits.toInt(&ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(digits));
        Add(numbers, number, text); // duplicates go when the list is sorted
        if (rangeOpen) {
            for (qint64 n = *rangeStart; n < number; ++n)
                Add(numbers, int(n), text);
            rangeOpen = false;
            rangeStart.reset();
        } else {
            rangeStart = qint64(number) + 1;
        }
    };

    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            if (tokenBegin < 0)
                tokenBegin = i;
            continue;
        }
        endToken(i);
        if (c == u'-' && rangeStart)
            rangeOpen = true;
    }
    endToken(text.size());
    Compact(numbers);
    return QList<int>(numbers.begin(), numbers.end());
}

void GetValidPages(QStringView text, TStringList* list)
{
    list->Clear();
    // Built whole before it is stored, so a text that raises leaves the list empty.
    const QList<int> numbers = GetValidPageNumbers(text);
    QStringList texts;
    texts.reserve(numbers.size());
    for (int number : numbers)
        texts.append(QString::number(number));
    list->SetList(texts);
}

QList<int> DialogPageList(TPageRangeKind kind, QStringView rangeText, int numPages, int currentPage)
{
    switch (kind) {
    case TPageRangeKind::Range:
        return GetValidPageNumbers(rangeText);
    case TPageRangeKind::Current:
        return {currentPage};
    case TPageRangeKind::All:
    case TPageRangeKind::Even:
    case TPageRangeKind::Odd:
        break;
    }
    QList<int> pages;
    for (int n = 1; n <= numPages; ++n)
        if (kind == TPageRangeKind::All || (kind == TPageRangeKind::Even) == (n % 2 == 0))
            pages.append(n);
    return pages;
}

} // namespace vorel
