#pragma once
// TKVXPreview: the page preview with a strip of page thumbnails, a list of
// the report's outline entries and text search. The thumbnail strip and
// the outline list stand at the left, beside the page's viewport.

#include "preview/page_preview.h"
#include "preview/text_search.h"

class QListWidget;
class QListWidgetItem;

namespace vorel {

class TfrmKVXFind;
class TThumbnailStrip;

class TKVXPreview : public TKVXPagePreview {
    Q_OBJECT
    Q_CLASSINFO("Doc", "A page preview with page thumbnails, the report's outline entries and text search.")
    Q_PROPERTY(bool ShowThumbnails READ ShowThumbnails WRITE SetShowThumbnails)
    Q_CLASSINFO("Doc.ShowThumbnails", "Shows a strip of small pictures of the pages at the left; a click on one "
                                      "shows its page.")
    Q_PROPERTY(bool EnableOutlines READ EnableOutlines WRITE SetEnableOutlines)
    Q_CLASSINFO("Doc.EnableOutlines", "Allows the outline list; set when the report recorded outline entries.")
    Q_PROPERTY(bool ShowOutlines READ ShowOutlines WRITE SetShowOutlines)
    Q_CLASSINFO("Doc.ShowOutlines", "Shows the report's outline entries at the left; a click on one shows its "
                                    "page. Stays off unless EnableOutlines is set.")
public:
    explicit TKVXPreview(QWidget* parent = nullptr);
    ~TKVXPreview() override;

    bool ShowThumbnails() const { return FThumbContainer != nullptr; }
    void SetShowThumbnails(bool value);
    bool EnableOutlines() const { return FEnableOutlines; }
    void SetEnableOutlines(bool value);
    bool ShowOutlines() const { return FOutlineContainer != nullptr; }
    void SetShowOutlines(bool value);

    // 20 pixels around the sheet.
    int GetOffset() const override { return 20; }

    // Shows the find dialog (created on first use, in the report's
    // language), then searches. True when the dialog was confirmed.
    bool FindText();
    // Searches without the dialog. Global: every page of every bar from the
    // shown one on (wrapping round to the first), going to the first page
    // with a match; else the shown page. The matches of that page are
    // highlighted. True when something matched.
    bool Search(const TKVXFindOptions& options);
    // The last search again, from the page after the shown one (every page
    // of every bar, wrapping). False when there was no search or no match.
    bool FindNext();
    // Whether the last search (or FindText's) found something.
    bool LastSearchFound() const { return FLastFound; }
    TfrmKVXFind* FindDialog() const { return FFindDialog; }

    // The side panes, nullptr while hidden.
    QWidget* ThumbContainer() const;
    QListWidget* OutlineList() const { return FOutlineContainer; }
    // Where the thumbnail of a page (from 1) stands in ThumbContainer's
    // viewport, at the strip's current scroll position.
    QRect ThumbnailRect(int pageNumber) const;

    void PagesChanged() override;

protected:
    void PageChanged() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TThumbnailStrip;
    void PlacePanes();
    void FillOutlines();
    void OutlineClicked(QListWidgetItem* item);
    bool SearchFrom(int linearStart, const TKVXFindOptions& options);

    TThumbnailStrip* FThumbContainer = nullptr;
    QListWidget* FOutlineContainer = nullptr;
    bool FEnableOutlines = false;
    TfrmKVXFind* FFindDialog = nullptr;
    TKVXFindOptions FLastOptions;
    bool FHasLastSearch = false;
    bool FLastFound = false;
};

} // namespace vorel
