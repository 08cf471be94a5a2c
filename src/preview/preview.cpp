#include "preview/preview.h"

#include "foundation/locale/code_page.h"
#include "preview/find_dialog.h"
#include "preview/preview_icons.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

namespace vorel {

namespace {

constexpr int kThumbWidth = 50;   // pixels of a thumbnail's box
constexpr int kThumbHeight = 100;
constexpr int kThumbOffset = 3;   // margin inside the box, as a plain page preview keeps
constexpr int kThumbGap = 5;      // pixels between thumbnails
constexpr int kThumbPaneExtra = 60;   // pane width beside its scroll bar
constexpr int kOutlinePaneExtra = 160;
constexpr int kOutlineItemHeight = 18;
// Thumbnails kept painted: about 20 kB each.
constexpr int kThumbCacheCount = 2000;

const QColor kWorkspace(0xAB, 0xAB, 0xAB);

// One outline entry: its icon 2 pixels from the left, its text 25 pixels
// from the left on one line, both centred vertically.
class TOutlineDelegate : public QStyledItemDelegate {
public:
    explicit TOutlineDelegate(QObject* parent) : QStyledItemDelegate(parent), FIcon(OutlineIcon()) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kOutlineItemHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        const QRect r = option.rect;
        painter->drawPixmap(r.left() + 2, r.top() + (r.height() - 16) / 2, FIcon);
        const QRect textRect(r.left() + 25, r.top(), std::max(0, r.width() - 25), r.height());
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QString text = option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, textRect.width());
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        painter->restore();
    }

private:
    QPixmap FIcon;
};

} // namespace

// The thumbnail strip: a small picture of every page of the shown bar, its
// number below it (bold for the shown page); a click shows that page. Only
// the thumbnails in view are painted, each of its own page, and kept, so a
// report of thousands of pages opens its strip at once. The strip never
// moves the report's current page itself: it asks the preview.
class TThumbnailStrip : public QAbstractScrollArea {
public:
    explicit TThumbnailStrip(TKVXPreview* owner) : QAbstractScrollArea(owner), FOwner(owner), FCache(kThumbCacheCount)
    {
        setObjectName(QStringLiteral("FThumbContainer"));
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setFrameShape(QFrame::NoFrame);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, kWorkspace);
        viewport()->setPalette(pal);
        viewport()->setBackgroundRole(QPalette::Window);
        viewport()->setAutoFillBackground(true);
        viewport()->setCursor(Qt::PointingHandCursor);
        setFixedWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) + kThumbPaneExtra);
    }

    int LabelHeight() const { return fontMetrics().height() + 2; }
    int CellHeight() const { return kThumbHeight + LabelHeight() + kThumbGap; }
    int Count() const { return FOwner->Report() ? FOwner->Report()->GetNumPages() : 0; }

    // The thumbnail's box of page index i (from 0) in viewport coordinates.
    QRect ThumbRect(int i) const
    {
        const int top = kThumbGap + i * CellHeight() - verticalScrollBar()->value();
        return QRect((viewport()->width() - kThumbWidth) / 2, top, kThumbWidth, kThumbHeight);
    }

    void Reset()
    {
        FCache.clear();
        UpdateRange();
        viewport()->update();
    }

    void EnsureVisible(int index)
    {
        const int top = kThumbGap + index * CellHeight();
        QScrollBar* bar = verticalScrollBar();
        if (top < bar->value())
            bar->setValue(top - kThumbGap);
        else if (top + CellHeight() > bar->value() + viewport()->height())
            bar->setValue(top + CellHeight() - viewport()->height());
        viewport()->update();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QAbstractScrollArea::resizeEvent(event);
        UpdateRange();
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(viewport());
        const int count = Count();
        if (count == 0)
            return;
        const int cell = CellHeight();
        const int scroll = verticalScrollBar()->value();
        const int first = std::max(0, (scroll - kThumbGap) / cell);
        const int current = FOwner->PageNumber() - 1;
        QFont normal = font();
        QFont bold = font();
        bold.setBold(true);
        painter.setPen(palette().color(QPalette::WindowText));
        for (int i = first; i < count; ++i) {
            const QRect box = ThumbRect(i);
            if (box.top() > viewport()->height())
                break;
            const QPixmap& picture = Picture(i);
            if (!picture.isNull()) {
                const QSize size = picture.deviceIndependentSize().toSize();
                const QPoint at(box.left() + (box.width() - size.width()) / 2,
                                box.top() + (box.height() - size.height()) / 2);
                painter.fillRect(QRect(at + QPoint(2, 2), size), Qt::black);
                painter.drawPixmap(at, picture);
            }
            painter.setFont(i == current ? bold : normal);
            painter.drawText(QRect(0, box.bottom() + 1, viewport()->width(), LabelHeight()), Qt::AlignCenter,
                             QString::number(i + 1));
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        const int y = event->position().toPoint().y() + verticalScrollBar()->value() - kThumbGap;
        if (y < 0)
            return;
        const int index = y / CellHeight();
        // The gap below a label belongs to no page.
        if (y % CellHeight() < kThumbHeight + LabelHeight() && index < Count())
            FOwner->SetPageNumber(index + 1);
    }

private:
    void UpdateRange()
    {
        const int total = kThumbGap + Count() * CellHeight();
        verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setSingleStep(CellHeight() / 2);
    }

    // The painted picture of page index i of the shown bar: the whole page
    // fitted into the box less its margin, with a black frame.
    const QPixmap& Picture(int i)
    {
        static const QPixmap none;
        const int bar = FOwner->BarNumber() - 1;
        const quint64 key = (quint64(quint32(bar)) << 32) | quint32(i);
        if (QPixmap* cached = FCache.object(key))
            return *cached;
        TKVPrintBaseComponent* report = FOwner->Report();
        const TPageInfo* page = report ? report->GetPage(i, bar) : nullptr;
        if (!page || page->PageWidth() <= 0 || page->PageHeight() <= 0)
            return none;
        const qreal scale = std::min(qreal(kThumbWidth - kThumbOffset) / page->PageWidth(),
                                     qreal(kThumbHeight - kThumbOffset) / page->PageHeight());
        const QSize size(std::max(1, qRound(page->PageWidth() * scale)), std::max(1, qRound(page->PageHeight() * scale)));
        const qreal ratio = devicePixelRatioF();
        auto* picture = new QPixmap((QSizeF(size) * ratio).toSize());
        picture->setDevicePixelRatio(ratio);
        {
            QPainter painter(picture);
            PaintPage(painter, *page, size, TPagePaintOptions{});
            painter.setPen(QPen(Qt::black, 0));
            painter.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
        }
        FCache.insert(key, picture);
        return *FCache.object(key);
    }

    TKVXPreview* FOwner;
    QCache<quint64, QPixmap> FCache;
};

TKVXPreview::TKVXPreview(QWidget* parent) : TKVXPagePreview(parent)
{
}

TKVXPreview::~TKVXPreview() = default;

QWidget* TKVXPreview::ThumbContainer() const
{
    return FThumbContainer;
}

QRect TKVXPreview::ThumbnailRect(int pageNumber) const
{
    return FThumbContainer ? FThumbContainer->ThumbRect(pageNumber - 1) : QRect();
}

void TKVXPreview::SetShowThumbnails(bool value)
{
    if (value == ShowThumbnails())
        return;
    if (value) {
        if (!Report())
            return;
        FThumbContainer = new TThumbnailStrip(this);
        FThumbContainer->show();
    } else {
        delete FThumbContainer;
        FThumbContainer = nullptr;
    }
    PlacePanes();
    if (FThumbContainer) {
        FThumbContainer->Reset();
        FThumbContainer->EnsureVisible(PageNumber() - 1);
    }
}

void TKVXPreview::SetEnableOutlines(bool value)
{
    FEnableOutlines = value;
    if (!value)
        SetShowOutlines(false);
}

void TKVXPreview::SetShowOutlines(bool value)
{
    if (value && !FEnableOutlines)
        value = false;
    if (value == ShowOutlines())
        return;
    if (value) {
        FOutlineContainer = new QListWidget(this);
        FOutlineContainer->setObjectName(QStringLiteral("FOutlineContainer"));
        FOutlineContainer->setItemDelegate(new TOutlineDelegate(FOutlineContainer));
        FOutlineContainer->setUniformItemSizes(true);
        FOutlineContainer->setFixedWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this)
                                         + kOutlinePaneExtra);
        connect(FOutlineContainer, &QListWidget::itemClicked, this, &TKVXPreview::OutlineClicked);
        FillOutlines();
        FOutlineContainer->show();
    } else {
        delete FOutlineContainer;
        FOutlineContainer = nullptr;
    }
    PlacePanes();
}

void TKVXPreview::FillOutlines()
{
    FOutlineContainer->clear();
    TKVPrintBaseComponent* report = Report();
    if (!report)
        return;
    const TKVXOutlines* outlines = report->Outlines();
    for (int i = 0; i < outlines->Count(); ++i)
        FOutlineContainer->addItem(outlines->GetOutline(i)->Text());
}

void TKVXPreview::OutlineClicked(QListWidgetItem* item)
{
    TKVPrintBaseComponent* report = Report();
    const int row = FOutlineContainer->row(item);
    if (report && row >= 0 && row < report->Outlines()->Count()) {
        const TKVXOutline* outline = report->Outlines()->GetOutline(row);
        const int top = outline->Top(); // report pixels
        SetPageNumber(outline->PageNo() + 1);
        SetBarNumber(outline->BarNo() + 1);
        // The entry's place on its page comes to the top of the view.
        verticalScrollBar()->setValue(SheetGeometry().top() + top * Zoom() / 100);
    }
    FOutlineContainer->clearSelection();
}

void TKVXPreview::PlacePanes()
{
    const QRect view = viewport()->geometry();
    int left = frameWidth();
    for (QWidget* pane : {static_cast<QWidget*>(FOutlineContainer), static_cast<QWidget*>(FThumbContainer)}) {
        if (!pane)
            continue;
        pane->setGeometry(left, view.top(), pane->width(), view.height());
        left += pane->width();
    }
    SetLeftPaneWidth(left - frameWidth());
}

void TKVXPreview::resizeEvent(QResizeEvent* event)
{
    TKVXPagePreview::resizeEvent(event);
    PlacePanes();
}

void TKVXPreview::PageChanged()
{
    // The bold mark moves; pictures are kept per page and bar.
    if (FThumbContainer && Report())
        FThumbContainer->EnsureVisible(PageNumber() - 1);
}

void TKVXPreview::PagesChanged()
{
    if (FThumbContainer)
        FThumbContainer->Reset();
    if (FOutlineContainer)
        FillOutlines();
    TKVXPagePreview::PagesChanged();
}

bool TKVXPreview::FindText()
{
    if (!FFindDialog)
        FFindDialog = new TfrmKVXFind(this);
    ClearHighlightRects();
    RepaintSheet();
    FFindDialog->ApplyLanguage(Report() ? Report()->GetLanguageShift() : 0);
    FFindDialog->edTextValue->selectAll();
    if (FFindDialog->exec() != QDialog::Accepted)
        return false;
    Search(FFindDialog->Options());
    return true;
}

bool TKVXPreview::Search(const TKVXFindOptions& options)
{
    FLastOptions = options;
    FHasLastSearch = true;
    ClearHighlightRects();
    TKVPrintBaseComponent* report = Report();
    if (!report || !options.Global) {
        if (const TPageInfo* page = ShownPage())
            for (const TRect& r : FindOnPage(*page, options, EffectiveCodePage(report->GetLanguageShift())))
                AddHighlightRect().r = r;
        RepaintSheet();
        return FLastFound = !HighlightRects().isEmpty();
    }
    return SearchFrom((BarNumber() - 1) * report->GetNumPages() + PageNumber() - 1, options);
}

bool TKVXPreview::FindNext()
{
    TKVPrintBaseComponent* report = Report();
    if (!FHasLastSearch || !report)
        return false;
    TKVXFindOptions options = FLastOptions;
    options.Global = true;
    ClearHighlightRects();
    return SearchFrom((BarNumber() - 1) * report->GetNumPages() + PageNumber(), options);
}

bool TKVXPreview::SearchFrom(int linearStart, const TKVXFindOptions& options)
{
    // Pages in reading order: the pages of a bar, then the next bar's,
    // round to where the search began.
    TKVPrintBaseComponent* report = Report();
    const int pages = report->GetNumPages();
    const int total = pages * report->GetNumBars();
    const int codePage = EffectiveCodePage(report->GetLanguageShift());
    FLastFound = false;
    for (int k = 0; k < total; ++k) {
        const int index = (linearStart + k) % total;
        const TPageInfo* page = report->GetPage(index % pages, index / pages);
        if (!page)
            continue;
        const QList<TRect> hits = FindOnPage(*page, options, codePage);
        if (hits.isEmpty())
            continue;
        SetBarNumber(index / pages + 1);
        SetPageNumber(index % pages + 1);
        ClearHighlightRects();
        for (const TRect& r : hits)
            AddHighlightRect().r = r;
        // The first match comes into view.
        const QRect sheet = SheetGeometry();
        ensureVisible(sheet.left() + hits.first().Left * Zoom() / 100, sheet.top() + hits.first().Top * Zoom() / 100,
                      50, 50);
        FLastFound = true;
        break;
    }
    RepaintSheet();
    return FLastFound;
}

} // namespace vorel
