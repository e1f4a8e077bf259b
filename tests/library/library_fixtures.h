#pragma once
// Real capture files for the library tests: JPEG photos written by Qt, WMV and
// WMA files encoded by GStreamer the way the recorders write them.
#include "library/media_library.h"
#include "platform/ui/image_list.h"
#include "platform/ui/list_view.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <linux/capability.h>

namespace libtest {

// A photo whose left half is `left` and right half is `right`.
bool MakeJpeg(const QString &path, QSize size, const QColor &left, const QColor &right);
// A short clip (160x120, 2 s) of one videotestsrc pattern ("red", "smpte"...).
bool MakeWmv(const QString &path, const QString &pattern = QStringLiteral("red"));
// One second of black, then four of red, as a camera that needs a moment.
bool MakeWmvDarkStart(const QString &path);
// Two seconds of a sine tone.
bool MakeWma(const QString &path);
// Two seconds of silence, then two seconds of a loud tone.
bool MakeWmaSilenceThenTone(const QString &path);

// A list view and image list bound to a library, as the dialog sets them up.
struct BoundList {
    explicit BoundList(int mode = 2);
    void UseMode(int mode);
    ui::ListView view;
    ui::ImageList images{87, 65};
    library::MediaLibrary library;
};

// Selects exactly the given items.
void SelectOnly(ui::ListView &view, std::initializer_list<int> items);

// Drops, for this thread and the threads it starts, the capabilities that let
// root ignore file permissions, so permission tests are honest under root.
// Restored on destruction.
class PermissionsEnforced {
public:
    PermissionsEnforced();
    ~PermissionsEnforced();
    PermissionsEnforced(const PermissionsEnforced &) = delete;
    PermissionsEnforced &operator=(const PermissionsEnforced &) = delete;

private:
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

} // namespace libtest
