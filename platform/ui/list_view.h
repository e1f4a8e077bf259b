#pragma once
// The thumbnail list view (icon view, multiple selection, selection always
// shown), with the operations the media library performs on it: items with a
// text and an image index, selected/focused states, a selection mark,
// positions, vertical scrolling and switching redraw off and on.
#include <QListWidget>
#include <QPoint>

namespace ui {

class ImageList;

class ListView : public QListWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget *parent = nullptr);

    // Not owned; the dialog re-creates it per layout. Null detaches.
    void SetImageList(ImageList *images);
    ImageList *GetImageList() const { return images_; }
    void SetIconSpacing(int horizontal, int vertical);
    int VerticalSpacing() const { return spacingY_; }

    int GetItemCount() const { return count(); }
    void DeleteAllItems();
    bool DeleteItem(int index);
    // Inserts at index with text and image index; returns the index or -1.
    int InsertItem(int index, const QString &text, int image);
    QString GetItemText(int index) const;
    int GetItemImage(int index) const;

    // Item states (LVIS_SELECTED, LVIS_FOCUSED).
    static constexpr unsigned kSelected = 0x2;
    static constexpr unsigned kFocused = 0x1;
    void SetItemState(int index, unsigned state, unsigned mask);
    unsigned GetItemState(int index, unsigned mask) const;
    // Next item after `start` (-1: from the beginning) with the selected state, or -1.
    int GetNextSelectedItem(int start) const;
    int GetSelectedCount() const;

    int GetSelectionMark() const { return selectionMark_; }
    int SetSelectionMark(int index);

    QPoint GetItemPosition(int index) const;
    bool SetItemPosition(int index, const QPoint &position);
    // Vertical scroll by dy pixels (positive scrolls down).
    void Scroll(int dy);
    int ScrolledTotal() const { return scrolledTotal_; }

    void SetRedraw(bool on);
    bool IsRedrawOn() const { return redraw_; }

    // Refreshes item icons from the image list (after images were replaced).
    void SyncIcons();

Q_SIGNALS:
    void RightClicked(QPoint globalPos);
    void ItemDoubleClicked(int index);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    ImageList *images_ = nullptr;
    int spacingY_ = 0;
    int selectionMark_ = -1;
    int scrolledTotal_ = 0;
    bool redraw_ = true;
};

} // namespace ui
