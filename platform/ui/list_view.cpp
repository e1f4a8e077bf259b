#include "platform/ui/list_view.h"

#include "platform/ui/image_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>

namespace ui {

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
// Room for the file name line under the thumbnail when no spacing is set.
constexpr int kTextHeight = 22;

const char *const kDarkStyle = R"(
QListView {
    background-color: #151a21;
    color: #dce3ec;
    border: 1px solid #2a3340;
    border-radius: 6px;
    outline: 0;
    font-size: 7pt;
}
QListView::item {
    color: #dce3ec;
    border: 1px solid transparent;
    border-radius: 5px;
    padding: 1px;
}
QListView::item:hover { background-color: rgba(95, 140, 200, 45); }
QListView::item:selected,
QListView::item:selected:!active {
    background-color: #2f6fd6;
    border: 1px solid #8fb6ff;
    color: #ffffff;
}
QScrollBar:vertical { background: #151a21; width: 8px; margin: 2px 1px 2px 0; }
QScrollBar::handle:vertical { background: #3c4757; border-radius: 3px; min-height: 24px; }
QScrollBar::handle:vertical:hover { background: #52617a; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
)";
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
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QString::fromLatin1(kDarkStyle));
}

void ListView::SetImageList(ImageList *images)
{
    images_ = images;
    if (images_)
        setIconSize(images_->CellSize());
    UpdateGrid();
    SyncIcons();
}

void ListView::SetIconSpacing(int horizontal, int vertical)
{
    spacingX_ = horizontal;
    spacingY_ = vertical;
    UpdateGrid();
}

void ListView::UpdateGrid()
{
    const QSize cell = images_ ? images_->CellSize() : iconSize();
    const int width = spacingX_ > 0 ? spacingX_ : std::max(cell.width() + 8, viewport()->width() - 1);
    const int height = spacingY_ > 0 ? spacingY_ : cell.height() + kTextHeight;
    setGridSize(QSize(width, height));
    for (int i = 0; i < count(); ++i)
        item(i)->setSizeHint(ItemSize());
}

QSize ListView::ItemSize() const
{
    // Every item fills its grid cell but a small gap, so the names have the
    // full width and all highlights are alike.
    return gridSize().isValid() ? gridSize() - QSize(6, 4) : QSize();
}

void ListView::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    UpdateGrid();
}

void ListView::DeleteAllItems()
{
    clear();
    selectionMark_ = -1;
    positionRequests_.clear();
}

bool ListView::DeleteItem(int index)
{
    if (index < 0 || index >= count())
        return false;
    delete takeItem(index);
    if (selectionMark_ == index)
        selectionMark_ = -1;
    else if (selectionMark_ > index)
        --selectionMark_;
    return true;
}

QIcon ListView::IconOf(int image) const
{
    if (!images_ || image < 0 || image >= images_->ImageCount())
        return {};
    const QPixmap pixmap = QPixmap::fromImage(images_->Image(image));
    QIcon icon(pixmap);
    // Keep the true colours of a selected thumbnail; the highlight is behind it.
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}

int ListView::InsertItem(int index, const QString &text, int image)
{
    if (index < 0 || index > count())
        index = count();
    auto *item = new QListWidgetItem(text);
    item->setData(kImageRole, image);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    item->setToolTip(text);
    item->setSizeHint(ItemSize());
    item->setIcon(IconOf(image));
    insertItem(index, item);
    if (selectionMark_ >= index)
        ++selectionMark_;
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
        const QModelIndex modelIndex = indexFromItem(it);
        // Focusing an item does not scroll: the caller scrolls by its own
        // amounts and then asks for the item to be visible (EnsureVisible).
        const bool autoScrolls = hasAutoScroll();
        setAutoScroll(false);
        if (state & kFocused)
            selectionModel()->setCurrentIndex(modelIndex, QItemSelectionModel::NoUpdate);
        else if (currentIndex() == modelIndex)
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        setAutoScroll(autoScrolls);
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
    if (currentRow() == index)
        state |= kFocused;
    return state & mask;
}

int ListView::GetNextSelectedItem(int start) const
{
    for (int i = std::max(start + 1, 0); i < count(); ++i)
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

bool ListView::SetItemPosition(int index, const QPoint &position)
{
    if (!item(index))
        return false;
    positionRequests_.push_back({index, position});
    return true;
}

void ListView::Scroll(int dy)
{
    scrolledTotal_ += dy;
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void ListView::EnsureVisible(int index)
{
    if (QListWidgetItem *it = item(index))
        scrollToItem(it, QAbstractItemView::EnsureVisible);
}

void ListView::SetRedraw(bool on)
{
    redraw_ = on;
    setUpdatesEnabled(on);
}

void ListView::SyncIcons()
{
    for (int i = 0; i < count(); ++i)
        item(i)->setIcon(IconOf(GetItemImage(i)));
}

void ListView::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event);
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid() && event->button() == Qt::LeftButton)
        selectionMark_ = hit.row();
    rightPressed_ = event->button() == Qt::RightButton;
}

void ListView::mouseMoveEvent(QMouseEvent *event)
{
    // A right drag selects nothing on its way; the menu comes at the release.
    if (event->buttons() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListWidget::mouseMoveEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    // The menu opens on the release, never under a button still held down,
    // where the release would choose whatever item lies under the pointer.
    if (event->button() == Qt::RightButton && rightPressed_) {
        rightPressed_ = false;
        Q_EMIT RightClicked(event->globalPosition().toPoint());
    }
}

void ListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidget::mouseDoubleClickEvent(event);
    const QModelIndex hit = indexAt(event->position().toPoint());
    Q_EMIT ItemDoubleClicked(hit.isValid() ? hit.row() : -1);
}

void ListView::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        selectionMark_ = currentRow();
}

} // namespace ui
