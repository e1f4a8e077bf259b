#pragma once
// The media library: the per-mode capture folders, the listing of the current
// mode's folder into the dialog's thumbnail list, the list's selection as the
// transport buttons move it, the selected file's path, and deletion.
//
// Everything here runs on the dialog's thread, synchronously. Modes are the
// dialog's mode numbers 0 Solo, 1 Conference, 2 Video, 3 VideoTracing,
// 4 Photo; any other value lists nothing and resolves nothing.
//
// Use from the dialog:
//   OnInitDialog:       BuildMediaPaths(paths, library);
//   RestoreSavedMode:   library.Bind(&listView, &imageList, &paths);   (step 1)
//   mode entered:       library.RefreshThumbnails(mode, this); library.SelectFirstItem();
//   Record:             ... library.RefreshThumbnails(mode, this); library.SelectLastItem();
//   Forward / Backward: library.SelectNextItem(mark) / library.SelectPreviousItem(count, mark);
//   Play, double-click: QString path; if (library.GetSelectedFilePath(mode, &path, this)) ...
//   menu "delete":      library.OnDeleteSelected(mode, this);
#include "library/media_paths.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class QWidget;

namespace ui {
class ListView;
class ImageList;
} // namespace ui

namespace thumbnails {
class ThumbnailProvider;
} // namespace thumbnails

namespace library {

class MediaLibrary {
public:
    MediaLibrary();
    ~MediaLibrary();
    MediaLibrary(const MediaLibrary &) = delete;
    MediaLibrary &operator=(const MediaLibrary &) = delete;

    // 1. The five mode folders (copies of MediaPaths' mode folders), by mode.
    std::array<QString, kModeCount> modeFolders;
    // 2. The loaded mic-array library; the dialog fills and releases it, the
    //    library never touches it.
    std::shared_ptr<void> micArrayModule;
    // 3. File names (no folder) of the folder last listed, in name order, which
    //    for capture names is the order they were taken in.
    QStringList names;
    // 4. The mode folder last listed (ends in "/").
    QString currentFolder;
    // 5. The dialog's thumbnail list (not owned).
    ui::ListView *listView = nullptr;
    // 6. The dialog's image list (not owned). The image list attached to the
    //    list view at refresh time takes precedence, so a dialog that re-creates
    //    its image list per layout never leaves a stale pointer in use here.
    ui::ImageList *imageList = nullptr;
    // The storage paths record (not owned).
    MediaPaths *paths = nullptr;

    // Gives the library its list view, image list and paths (any may be null).
    void Bind(ui::ListView *list, ui::ImageList *images, MediaPaths *mediaPaths);
    // Replaces the thumbnail provider (the default uses the shared cache and
    // one worker per core). Null restores the default.
    void SetThumbnailProvider(std::shared_ptr<const thumbnails::ThumbnailProvider> provider);

    // Thumbnail and image-list cell size of a mode: 65 x 69 for the audio
    // modes 0 and 1, 87 x 65 otherwise.
    static QSize ThumbnailSize(int mode);
    // Vertical icon spacing of the list: 94 for the audio modes, 90 otherwise.
    static int IconSpacing(int mode);

    // Listing rules. Accepted: the last three characters are "WMA", "jpg" or
    // "WMV", ignoring case (so "abcjpg" is accepted, "a.jpeg" is not).
    static bool IsAcceptedName(const QString &name);
    // Temporary files, never listed: names starting with "~" (lock and
    // temporary copies) or "#" (auto-save files), and names ending in "~"
    // (backups). Hidden files (leading dot), folders and anything that is not a
    // regular file (sockets, pipes, devices, dangling links) are skipped too.
    // Our own writers write captures under their final names, so a capture in
    // progress is listed, as the transport expects after Record.
    static bool IsTemporaryName(const QString &name);

    // Empties names and the list view, lists the mode's folder and keeps the
    // accepted names, sorted. True when at least one file was listed; false
    // (names empty) for a missing or unreadable folder or no accepted file.
    bool LoadFileNames(int mode);

    // Lists the mode's folder and fills the list: item i shows names[i] and
    // image i; the image list holds one image per name. Thumbnails are made in
    // parallel but the call returns only when all are in place. Redrawing is
    // off meanwhile. When a file has vanished or cannot be read at all, shows
    // "Load thumbnail fail" (owned by owner) and stops: the items before it stay,
    // the rest get none. Position requested for item i: x = 6 + 71 * i, its own y.
    void RefreshThumbnails(int mode, QWidget *owner);
    // The same, for a refresh the user did not ask for (a repair finished in
    // the background): the files that were selected stay selected, and the
    // selection mark and focus stay on their files.
    void RefreshKeepingSelection(int mode, QWidget *owner);

    // Selection moves (select = selected + focused state and the selection
    // mark). Scrolls are vertical, in pixels.
    void SelectFirstItem();                     // item 0, when any
    void SelectNextItem(int current);           // current+1; scroll +90 when it is >= 3
    void SelectPreviousItem(int count, int current); // current-1; scroll -90 when count-current >= 3
    void SelectLastItem();                      // last item; scroll count*90 when count > 3
    // Deletes list items indices[count-1] .. indices[0] (ascending indices,
    // highest first), then selects indices[0]-1, or indices[0] when that is 0.
    void RemoveListItems(int count, const std::vector<int> &indices);

    // mode folder + text of the first selected item. When none is selected
    // shows "No item is selected!!" and returns false.
    bool GetSelectedFilePath(int mode, QString *path, QWidget *owner) const;

    // mode folder + item text of every selected item, in ascending list order
    // (no limit on the number); empty when none is selected.
    QStringList SelectedFilePaths(int mode) const;

    // Deletes the files of all selected items (no confirmation, no limit on
    // the number) and removes their items. Nothing selected: "No items were
    // selected!!". A file that cannot be deleted stops the handler there: it
    // and every later selected file stay on disk and in the list, the items of
    // the files already deleted are removed, and the error is shown with the
    // path, e.g. "Access to <path> was denied.". A file already gone counts as
    // deleted. A file in inUse (being recorded or played) is never removed:
    // "A sharing violation occurred while accessing <path>." is shown for it
    // and the other selected files are deleted.
    void OnDeleteSelected(int mode, QWidget *owner, const QStringList &inUse = {});

private:
    ui::ImageList *ActiveImageList() const;
    void MarkSelectAndFocus(int index);

    std::shared_ptr<const thumbnails::ThumbnailProvider> thumbnailer_;
};

// Fills paths (documents folder from the shell, base folder
// "<documents>/Talvora/", the five mode folders) and the library's mode
// folders, then creates the base folder and the mode folders in mode order.
// Creation results are ignored: a folder that cannot be made lists as empty.
void BuildMediaPaths(MediaPaths &paths, MediaLibrary &library);

} // namespace library
