#include "library/media_library.h"

#include "platform/media/recording_marker.h"
#include "platform/shell/shell.h"
#include "platform/thumbnails/file_type_icon.h"
#include "platform/thumbnails/thumbnail_provider.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"
#include "platform/ui/message_box.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace library {
namespace {
constexpr unsigned kSelectedFocused = ui::ListView::kSelected | ui::ListView::kFocused;
constexpr int kScrollStep = 90;
constexpr int kFirstX = 6;
constexpr int kStepX = 71;

bool IsValidMode(int mode) { return mode >= 0 && mode < kModeCount; }

QStringList ListCaptureNames(const QString &folder)
{
    QStringList found;
    const QDir dir(folder);
    if (!dir.exists())
        return found;
    // Without QDir::Hidden and QDir::System, dot files, pipes, sockets,
    // devices and dangling links are left out by the listing itself.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isFile() && !entry.isHidden() && MediaLibrary::IsAcceptedName(name)
            && !MediaLibrary::IsTemporaryName(name))
            found.append(name);
    }
    // Directory order is arbitrary on Linux; name order keeps the time-stamped
    // captures chronological, so the newest is last.
    std::sort(found.begin(), found.end());
    return found;
}

// The message for a file that could not be deleted, with its path.
QString DeleteErrorText(int error, const QString &path)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return QStringLiteral("Access to %1 was denied.").arg(path);
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("A sharing violation occurred while accessing %1.").arg(path);
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
        return QStringLiteral("%1 contains an invalid path.").arg(path);
    default:
        return QStringLiteral("An unexpected error occurred while accessing %1.").arg(path);
    }
}

// Removes one file (never a folder). 0, or the errno of the failure; a file
// that is already gone counts as removed.
int RemoveFile(const QString &path)
{
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return 0;
    return errno;
}
} // namespace

MediaLibrary::MediaLibrary() : thumbnailer_(std::make_shared<thumbnails::ThumbnailProvider>()) {}

MediaLibrary::~MediaLibrary() = default;

void MediaLibrary::Bind(ui::ListView *list, ui::ImageList *images, MediaPaths *mediaPaths)
{
    listView = list;
    imageList = images;
    paths = mediaPaths;
}

void MediaLibrary::SetThumbnailProvider(std::shared_ptr<const thumbnails::ThumbnailProvider> provider)
{
    thumbnailer_ = provider ? std::move(provider) : std::make_shared<thumbnails::ThumbnailProvider>();
}

QSize MediaLibrary::ThumbnailSize(int mode)
{
    return mode == 0 || mode == 1 ? QSize(65, 69) : QSize(87, 65);
}

int MediaLibrary::IconSpacing(int mode)
{
    return mode == 0 || mode == 1 ? 94 : 90;
}

bool MediaLibrary::IsAcceptedName(const QString &name)
{
    const QString tail = name.right(3);
    return name.size() >= 3
        && (tail.compare(QLatin1String("WMA"), Qt::CaseInsensitive) == 0
            || tail.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0
            || tail.compare(QLatin1String("WMV"), Qt::CaseInsensitive) == 0);
}

bool MediaLibrary::IsTemporaryName(const QString &name)
{
    return name.startsWith(QLatin1Char('~')) || name.startsWith(QLatin1Char('#'))
        || name.endsWith(QLatin1Char('~'));
}

ui::ImageList *MediaLibrary::ActiveImageList() const
{
    if (listView && listView->GetImageList())
        return listView->GetImageList();
    return imageList;
}

bool MediaLibrary::LoadFileNames(int mode)
{
    names.clear();
    if (listView && listView->GetItemCount() > 0)
        listView->DeleteAllItems();
    if (!IsValidMode(mode)) {
        currentFolder.clear();
        return false;
    }
    currentFolder = modeFolders[static_cast<size_t>(mode)];
    const QStringList found = ListCaptureNames(currentFolder);
    if (found.isEmpty())
        return false;
    names = found;
    return true;
}

void MediaLibrary::RefreshThumbnails(int mode, QWidget *owner)
{
    LoadFileNames(mode);
    ui::ImageList *images = ActiveImageList();
    if (names.isEmpty() || !listView || !images)
        return;
    listView->SetRedraw(false);
    images->RemoveAll();
    listView->DeleteAllItems();
    images->SetImageCount(static_cast<int>(names.size()));

    // A file being written (its marker lies beside it) has only its first
    // moments to show, and decoding it on the dialog's thread competes with
    // the recording that has just started: it gets its kind's icon.
    const QSize size = ThumbnailSize(mode);
    std::vector<bool> writing;
    QStringList files;
    for (const QString &name : std::as_const(names)) {
        const QString path = currentFolder + name;
        writing.push_back(QFileInfo::exists(media::RecordingMarkerPath(path)));
        if (!writing.back())
            files.append(path);
    }
    const auto decoded = thumbnailer_->GetThumbnails(files, size);

    int x = kFirstX;
    size_t next = 0;
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        const std::optional<thumbnails::Thumbnail> thumb = writing[static_cast<size_t>(i)]
            ? thumbnails::Thumbnail{thumbnails::DrawFileTypeIcon(thumbnails::KindOfName(names[i]), size),
                                    thumbnails::Thumbnail::Source::FileTypeIcon}
            : decoded[next++];
        if (!thumb) {
            ui::InformationBox(owner, QStringLiteral("Load thumbnail fail"));
            break;
        }
        images->Replace(i, thumb->image);
        listView->InsertItem(i, names[i], i);
        const QPoint at = listView->GetItemPosition(i);
        listView->SetItemPosition(i, QPoint(x, at.y()));
        x += kStepX;
    }
    listView->SetRedraw(true);
}

void MediaLibrary::RefreshKeepingSelection(int mode, QWidget *owner)
{
    if (!listView) {
        RefreshThumbnails(mode, owner);
        return;
    }
    const QStringList selected = SelectedFilePaths(mode);
    const QString marked = listView->GetItemText(listView->GetSelectionMark());
    const QString focused = listView->GetItemText(listView->currentRow());
    RefreshThumbnails(mode, owner);
    const QString &folder = modeFolders[static_cast<size_t>(mode)];
    for (int i = 0; i < listView->GetItemCount(); ++i) {
        const QString name = listView->GetItemText(i);
        if (selected.contains(folder + name))
            listView->SetItemState(i, ui::ListView::kSelected, ui::ListView::kSelected);
        if (!focused.isEmpty() && name == focused)
            listView->SetItemState(i, ui::ListView::kFocused, ui::ListView::kFocused);
        if (!marked.isEmpty() && name == marked) {
            listView->SetSelectionMark(i);
            listView->EnsureVisible(i);
        }
    }
}

void MediaLibrary::MarkSelectAndFocus(int index)
{
    listView->SetSelectionMark(index);
    listView->SetItemState(index, kSelectedFocused, kSelectedFocused);
}

void MediaLibrary::SelectFirstItem()
{
    if (listView && listView->GetItemCount() > 0) {
        MarkSelectAndFocus(0);
        listView->EnsureVisible(0);
    }
}

void MediaLibrary::SelectNextItem(int current)
{
    if (!listView || current < 0 || current + 1 >= listView->GetItemCount())
        return;
    listView->SetItemState(current, 0, kSelectedFocused);
    MarkSelectAndFocus(current + 1);
    if (current + 1 >= 3)
        listView->Scroll(kScrollStep);
    listView->EnsureVisible(current + 1);
}

void MediaLibrary::SelectPreviousItem(int count, int current)
{
    if (!listView || current <= 0 || current >= listView->GetItemCount())
        return;
    listView->SetItemState(current, 0, kSelectedFocused);
    MarkSelectAndFocus(current - 1);
    if (count - current >= 3)
        listView->Scroll(-kScrollStep);
    listView->EnsureVisible(current - 1);
}

void MediaLibrary::SelectLastItem()
{
    const int count = listView ? listView->GetItemCount() : 0;
    if (count == 0)
        return;
    MarkSelectAndFocus(count - 1);
    if (count > 3)
        listView->Scroll(count * kScrollStep);
    listView->EnsureVisible(count - 1);
}

void MediaLibrary::RemoveListItems(int count, const std::vector<int> &indices)
{
    count = std::min(count, static_cast<int>(indices.size()));
    if (!listView || count <= 0)
        return;
    for (int k = count - 1; k >= 0; --k)
        listView->DeleteItem(indices[static_cast<size_t>(k)]);
    const int first = indices[0];
    MarkSelectAndFocus(first > 0 ? first - 1 : first);
    listView->EnsureVisible(first > 0 ? first - 1 : first);
}

bool MediaLibrary::GetSelectedFilePath(int mode, QString *path, QWidget *owner) const
{
    const int selected = listView ? listView->GetNextSelectedItem(-1) : -1;
    if (selected < 0) {
        ui::InformationBox(owner, QStringLiteral("No item is selected!!"));
        return false;
    }
    if (!IsValidMode(mode) || !path)
        return false;
    *path = modeFolders[static_cast<size_t>(mode)] + listView->GetItemText(selected);
    return true;
}

QStringList MediaLibrary::SelectedFilePaths(int mode) const
{
    QStringList selected;
    if (!listView || !IsValidMode(mode))
        return selected;
    const QString &folder = modeFolders[static_cast<size_t>(mode)];
    for (int item = listView->GetNextSelectedItem(-1); item >= 0; item = listView->GetNextSelectedItem(item))
        selected.append(folder + listView->GetItemText(item));
    return selected;
}

namespace {
// Unlinking a file that is still being written or read would succeed on this
// system and lose it; such a file is kept, as an open file is elsewhere.
bool IsInUse(const QString &path, const QStringList &inUse)
{
    const QFileInfo file(path);
    for (const QString &busy : inUse)
        if (!busy.isEmpty() && (QDir::cleanPath(busy) == QDir::cleanPath(path) || QFileInfo(busy) == file))
            return true;
    return false;
}
} // namespace

void MediaLibrary::OnDeleteSelected(int mode, QWidget *owner, const QStringList &inUse)
{
    const QString folder = IsValidMode(mode) ? modeFolders[static_cast<size_t>(mode)] : QString();
    int item = listView ? listView->GetNextSelectedItem(-1) : -1;
    if (item < 0) {
        ui::InformationBox(owner, QStringLiteral("No items were selected!!"));
        return;
    }
    if (folder.isEmpty())
        return;
    std::vector<int> deleted;
    QStringList refused;
    for (; item >= 0; item = listView->GetNextSelectedItem(item)) {
        const QString path = folder + listView->GetItemText(item);
        if (IsInUse(path, inUse)) {
            refused.append(path);
            continue;
        }
        if (const int error = RemoveFile(path)) {
            // The files already gone must not linger in the list.
            RemoveListItems(static_cast<int>(deleted.size()), deleted);
            ui::InformationBox(owner, DeleteErrorText(error, path));
            return;
        }
        deleted.push_back(item);
    }
    RemoveListItems(static_cast<int>(deleted.size()), deleted);
    for (const QString &path : refused)
        ui::InformationBox(owner, DeleteErrorText(EBUSY, path));
}

void BuildMediaPaths(MediaPaths &paths, MediaLibrary &library)
{
    paths.documentsFolder = shell::DocumentsFolder();
    paths.baseFolder = paths.documentsFolder + QStringLiteral("/Talvora/");
    paths.audioSoloFolder = paths.baseFolder + kModeFolderNames[0] + QLatin1Char('/');
    paths.audioConferenceFolder = paths.baseFolder + kModeFolderNames[1] + QLatin1Char('/');
    paths.videoFolder = paths.baseFolder + kModeFolderNames[2] + QLatin1Char('/');
    paths.tVideoFolder = paths.baseFolder + kModeFolderNames[3] + QLatin1Char('/');
    paths.photoFolder = paths.baseFolder + kModeFolderNames[4] + QLatin1Char('/');
    for (int mode = 0; mode < kModeCount; ++mode)
        library.modeFolders[static_cast<size_t>(mode)] = paths.ModeFolder(mode);
    QDir().mkdir(paths.baseFolder);
    for (const QString &folder : library.modeFolders)
        QDir().mkdir(folder);
}

} // namespace library
