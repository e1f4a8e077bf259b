#include "platform/ui/list_view.h"

#include "platform/ui/image_list.h"

#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>

namespace ui {

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kFocusedRole = Qt::UserRole + 2;
} // namespace

ListView::ListView(QWidget *parent) : QListWidget(parent)
{
    setViewMode(QListView::IconMode);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setWordWrap(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void ListView::SetImageList(ImageList *images)
{
    images_ = images;
    if (images_)
        setIconSize(images_->CellSize());
    SyncIcons();
}

void ListView::SetIconSpacing(int horizontal, int vertical)
{
    spacingY_ = vertical;
    if (images_ && vertical > 0)
        setGridSize(QSize(std::max(horizontal, images_->CellSize().width() + 40), vertical));
}

void ListView::DeleteAllItems()
{
    clear();
    selectionMark_ = -1;
}

bool ListView::DeleteItem(int index)
{
    if (index < 0 || index >= count())
        return false;
    delete takeItem(index);
    if (selectionMark_ >= count())
        selectionMark_ = -1;
    return true;
}

int ListView::InsertItem(int index, const QString &text, int image)
{
    if (index < 0 || index > count())
        index = count();
    auto *item = new QListWidgetItem(text);
    item->setData(kImageRole, image);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (images_ && image >= 0 && image < images_->ImageCount())
        item->setIcon(QIcon(QPixmap::fromImage(images_->Image(image))));
    insertItem(index, item);
    return index;
}

QString ListView::GetItemText(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->text() : QString();
}

int ListView::GetItemImage(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? it->data(kImageRole).toInt() : -1;
}

void ListView::SetItemState(int index, unsigned state, unsigned mask)
{
    QListWidgetItem *it = item(index);
    if (!it)
        return;
    if (mask & kSelected)
        it->setSelected((state & kSelected) != 0);
    if (mask & kFocused) {
        const bool focused = (state & kFocused) != 0;
        for (int i = 0; focused && i < count(); ++i)
            item(i)->setData(kFocusedRole, false);
        it->setData(kFocusedRole, focused);
        if (focused)
            selectionModel()->setCurrentIndex(indexFromItem(it), QItemSelectionModel::NoUpdate);
    }
}

unsigned ListView::GetItemState(int index, unsigned mask) const
{
    const QListWidgetItem *it = item(index);
    if (!it)
        return 0;
    unsigned state = 0;
    if (it->isSelected())
        state |= kSelected;
    if (it->data(kFocusedRole).toBool())
        state |= kFocused;
    return state & mask;
}

int ListView::GetNextSelectedItem(int start) const
{
    for (int i = start + 1; i < count(); ++i)
        if (item(i)->isSelected())
            return i;
    return -1;
}

int ListView::GetSelectedCount() const
{
    return static_cast<int>(selectedItems().size());
}

int ListView::SetSelectionMark(int index)
{
    const int previous = selectionMark_;
    selectionMark_ = index;
    return previous;
}

QPoint ListView::GetItemPosition(int index) const
{
    const QListWidgetItem *it = item(index);
    return it ? visualItemRect(it).topLeft() : QPoint();
}

bool ListView::SetItemPosition(int index, const QPoint &)
{
    // Auto-arrange re-lays the icons after every move, so the requested
    // position is accepted and the arrangement wins, as with the native view.
    return item(index) != nullptr;
}

void ListView::Scroll(int dy)
{
    scrolledTotal_ += dy;
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void ListView::SetRedraw(bool on)
{
    redraw_ = on;
    setUpdatesEnabled(on);
}

void ListView::SyncIcons()
{
    for (int i = 0; i < count(); ++i) {
        const int image = GetItemImage(i);
        if (images_ && image >= 0 && image < images_->ImageCount())
            item(i)->setIcon(QIcon(QPixmap::fromImage(images_->Image(image))));
        else
            item(i)->setIcon(QIcon());
    }
}

void ListView::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event);
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid() && event->button() == Qt::LeftButton) {
        selectionMark_ = hit.row();
        SetItemState(hit.row(), kFocused, kFocused);
    }
    if (event->button() == Qt::RightButton)
        Q_EMIT RightClicked(event->globalPosition().toPoint());
}

void ListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidget::mouseDoubleClickEvent(event);
    const QModelIndex hit = indexAt(event->position().toPoint());
    Q_EMIT ItemDoubleClicked(hit.isValid() ? hit.row() : -1);
}

} // namespace ui
