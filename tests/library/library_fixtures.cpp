#include "tests/library/library_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QUuid>
#include <sys/syscall.h>
#include <unistd.h>

namespace libtest {
namespace {

// gst-launch joins its arguments into one description, so it writes to a
// plain temporary name that is renamed afterwards (odd names stay safe).
bool RunGstLaunch(QStringList args, const QString &target)
{
    const QString temp = QFileInfo(target).absolutePath() + QStringLiteral("/gst-")
        + QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
    for (QString &a : args)
        a.replace(QStringLiteral("@OUT@"), temp);
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"), QStringList{QStringLiteral("-q")} + args);
    if (!gst.waitForFinished(30000) || gst.exitCode() != 0) {
        gst.kill();
        QFile::remove(temp);
        return false;
    }
    QFile::remove(target);
    return QFile::rename(temp, target);
}

QStringList Split(const char *description)
{
    return QString::fromLatin1(description).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
} // namespace

bool MakeJpeg(const QString &path, QSize size, const QColor &left, const QColor &right)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, size.width() / 2, size.height(), left);
    p.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    p.end();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "JPEG");
}

bool MakeWmv(const QString &path, const QString &pattern)
{
    // Video only: asfmux takes buffer timestamps as they come, and the libav
    // video encoders start theirs at 1000 h, so a clip muxed with a sound
    // track here would carry its pictures past the end of the file.
    QStringList args = Split("videotestsrc num-buffers=20 ! "
                             "video/x-raw,width=160,height=120,framerate=10/1 ! videoconvert ! avenc_wmv2 ! "
                             "asfmux ! filesink location=@OUT@");
    args.insert(1, QStringLiteral("pattern=") + pattern);
    return RunGstLaunch(args, path);
}

bool MakeWmvDarkStart(const QString &path)
{
    return RunGstLaunch(Split("concat name=c ! videoconvert ! avenc_wmv2 ! asfmux ! filesink location=@OUT@ "
                              "videotestsrc num-buffers=10 pattern=black ! "
                              "video/x-raw,width=160,height=120,framerate=10/1 ! c. "
                              "videotestsrc num-buffers=40 pattern=red ! "
                              "video/x-raw,width=160,height=120,framerate=10/1 ! c."),
                        path);
}

bool MakeWma(const QString &path)
{
    return RunGstLaunch(Split("audiotestsrc num-buffers=20 samplesperbuffer=1600 volume=0.6 ! "
                              "audio/x-raw,rate=16000,channels=1 ! audioconvert ! avenc_wmav2 ! asfmux ! "
                              "filesink location=@OUT@"),
                        path);
}

bool MakeWmaSilenceThenTone(const QString &path)
{
    return RunGstLaunch(Split("concat name=c ! audioconvert ! avenc_wmav2 ! asfmux ! filesink location=@OUT@ "
                              "audiotestsrc num-buffers=20 samplesperbuffer=1600 volume=0 ! "
                              "audio/x-raw,rate=16000,channels=1 ! c. "
                              "audiotestsrc num-buffers=20 samplesperbuffer=1600 volume=0.8 ! "
                              "audio/x-raw,rate=16000,channels=1 ! c."),
                        path);
}

BoundList::BoundList(int mode)
{
    view.resize(139, 279);
    UseMode(mode);
    library.Bind(&view, &images, nullptr);
}

void BoundList::UseMode(int mode)
{
    const QSize cell = library::MediaLibrary::ThumbnailSize(mode);
    view.SetImageList(nullptr);
    images = ui::ImageList(cell.width(), cell.height());
    view.SetImageList(&images);
    view.SetIconSpacing(0, library::MediaLibrary::IconSpacing(mode));
}

void SelectOnly(ui::ListView &view, std::initializer_list<int> items)
{
    view.clearSelection();
    for (int i : items)
        view.SetItemState(i, ui::ListView::kSelected, ui::ListView::kSelected);
}

PermissionsEnforced::PermissionsEnforced()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (syscall(SYS_capget, &header, saved_) != 0)
        return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        reduced[cap / 32].effective &= ~(1u << (cap % 32));
    changed_ = syscall(SYS_capset, &header, reduced) == 0;
}

PermissionsEnforced::~PermissionsEnforced()
{
    if (!changed_)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    syscall(SYS_capset, &header, saved_);
}

} // namespace libtest
