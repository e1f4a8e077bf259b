#pragma once
// The thumbnail list view (icon view, multiple selection, selection always
// shown), with the operations the media library performs on it: items with a
// text and an image index, selected/focused states, a selection mark,
// positions, vertical scrolling and switching redraw off and on.
//
// Look: dark card with light text, each thumbnail centred in its row with the
// file name under it (elided in the middle when long), a clear accent
// highlight behind the selected items whether or not the list has focus.
#include <QListWidget>
#include <QPoint>
#include <vector>

namespace ui {

class ImageList;

class ListView : public QListWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget *parent = nullptr);

    // Not owned; the dialog re-creates it per layout. Null detaches.
    void SetImageList(ImageList *images);
    ImageList *GetImageList() const { return images_; }
    // Horizontal 0 means "as wide as the list" (one column, centred).
    void SetIconSpacing(int horizontal, int vertical);
    int VerticalSpacing() const { return spacingY_; }

    int GetItemCount() const { return count(); }
    void DeleteAllItems();
    bool DeleteItem(int index);
    // Inserts at index (out of range: at the end) with text and image index;
    // returns the index or -1.
    int InsertItem(int index, const QString &text, int image);
    QString GetItemText(int index) const;
    int GetItemImage(int index) const;

    // Item states (LVIS_SELECTED, LVIS_FOCUSED). Focus is the view's current
    // item, so at most one item is focused.
    static constexpr unsigned kSelected = 0x2;
    static constexpr unsigned kFocused = 0x1;
    void SetItemState(int index, unsigned state, unsigned mask);
    unsigned GetItemState(int index, unsigned mask) const;
    // Next item after `start` (-1: from the beginning) with the selected state, or -1.
    int GetNextSelectedItem(int start) const;
    int GetSelectedCount() const;

    // The selection mark follows item insertions and deletions and is set by
    // clicks and keyboard moves; -1 when none.
    int GetSelectionMark() const { return selectionMark_; }
    int SetSelectionMark(int index);

    QPoint GetItemPosition(int index) const;
    // The list arranges its icons itself (auto-arrange), so a requested
    // position is recorded, not applied; tests read the requests back.
    bool SetItemPosition(int index, const QPoint &position);
    struct PositionRequest {
        int index;
        QPoint position;
    };
    // Requests since the last DeleteAllItems, in call order.
    const std::vector<PositionRequest> &PositionRequests() const { return positionRequests_; }

    // Vertical scroll by dy pixels (positive scrolls down), clamped by the view.
    void Scroll(int dy);
    // Scrolls as little as needed to show the item whole (LVM_ENSUREVISIBLE).
    void EnsureVisible(int index);
    // Sum of all requested scroll amounts.
    int ScrolledTotal() const { return scrolledTotal_; }

    void SetRedraw(bool on);
    bool IsRedrawOn() const { return redraw_; }

    // Refreshes item icons from the image list (after images were replaced).
    void SyncIcons();

Q_SIGNALS:
    // The right button went up over the list after a press on it (on an item
    // or on empty space), at globalPos; a context menu opens there.
    void RightClicked(QPoint globalPos);
    void ItemDoubleClicked(int index);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void UpdateGrid();
    QSize ItemSize() const;
    QIcon IconOf(int image) const;

    ImageList *images_ = nullptr;
    int spacingX_ = 0;
    int spacingY_ = 0;
    int selectionMark_ = -1;
    int scrolledTotal_ = 0;
    bool redraw_ = true;
    bool rightPressed_ = false;
    std::vector<PositionRequest> positionRequests_;
};

} // namespace ui
