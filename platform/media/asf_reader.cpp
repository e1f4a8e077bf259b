#include "platform/media/asf_reader.h"

#include "platform/diag/diagnostics.h"
#include "platform/media/asf_file_name.h"
#include "platform/media/gst_util.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <gst/pbutils/pbutils.h>
#include <cstring>
#include <mutex>

namespace media {

bool IsAsfFile(const QString &path)
{
    static const unsigned char kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
        0x00, 0x62, 0xCE, 0x6C};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(24);
    if (head.size() != 24 || std::memcmp(head.constData(), kHeader, 16) != 0)
        return false;
    // The header object's size must fit the file (a cut file fails here at once).
    quint64 headerSize = 0;
    for (int i = 7; i >= 0; --i)
        headerSize = (headerSize << 8) | static_cast<unsigned char>(head[16 + i]);
    return headerSize >= 30 && headerSize <= quint64(file.size());
}

struct AsfReader::Impl {
    GstElement *source = nullptr;
    GstElement *demux = nullptr;
    QString fileName;
    std::mutex mutex;
    std::vector<std::shared_ptr<Pin>> audioPins;
    std::vector<std::shared_ptr<Pin>> videoPins;
    size_t audioSeen = 0;
    size_t videoSeen = 0;

    static void OnPadAdded(GstElement *, GstPad *pad, gpointer data);
};

// Runs on the demuxer's thread: aims the waiting pin at the new stream pad.
void AsfReader::Impl::OnPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<Impl *>(data);
    const QByteArray name(GST_PAD_NAME(pad));
    std::lock_guard lock(self->mutex);
    std::shared_ptr<Pin> pin;
    if (name.startsWith("audio") && self->audioSeen < self->audioPins.size())
        pin = self->audioPins[self->audioSeen++];
    else if (name.startsWith("video") && self->videoSeen < self->videoPins.size())
        pin = self->videoPins[self->videoSeen++];
    if (pin)
        gst_ghost_pad_set_target(GST_GHOST_PAD(pin->Pad()), pad);
}

AsfReader::AsfReader() : Filter(CLSID_WMAsfReader), d(std::make_shared<Impl>()) {}

AsfReader::~AsfReader()
{
    if (d->demux)
        g_signal_handlers_disconnect_by_data(d->demux, d.get());
}

std::shared_ptr<AsfReader> AsfReader::Create(HRESULT *hr)
{
    auto f = std::shared_ptr<AsfReader>(new AsfReader());
    f->d->source = MakeElement("filesrc");
    f->d->demux = MakeElement("asfdemux");
    if (!f->d->source || !f->d->demux) {
        for (GstElement *e : {f->d->source, f->d->demux})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        f->d->demux = nullptr;
        *hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    f->AddToBin(f->d->source);
    f->AddToBin(f->d->demux);
    gst_element_link(f->d->source, f->d->demux);
    g_signal_connect(f->d->demux, "pad-added", G_CALLBACK(&Impl::OnPadAdded), f->d.get());
    *hr = S_OK;
    return f;
}

HRESULT AsfReader::Load(const QString &fileName, const AM_MEDIA_TYPE *)
{
    if (!d->fileName.isEmpty())
        return E_UNEXPECTED;
    if (!QFileInfo(fileName).isFile()) {
        diag::OutputDebugString(QStringLiteral("media: cannot open '%1': no such file").arg(fileName));
        return VFW_E_NOT_FOUND;
    }
    if (!IsAsfFile(fileName)) {
        diag::OutputDebugString(QStringLiteral("media: '%1' is not a Windows Media (ASF) file").arg(fileName));
        return VFW_E_UNKNOWN_FILE_TYPE;
    }
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(3 * GST_SECOND, &error);
    if (!discoverer) {
        g_clear_error(&error);
        return E_FAIL;
    }
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    const bool ok = info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK;
    if (!ok) {
        diag::OutputDebugString(QStringLiteral("media: cannot read '%1': %2")
                                    .arg(fileName, QString::fromUtf8(error ? error->message : "unreadable")));
        g_clear_error(&error);
        if (info)
            gst_discoverer_info_unref(info);
        g_object_unref(discoverer);
        return VFW_E_UNKNOWN_FILE_TYPE;
    }
    GList *audio = gst_discoverer_info_get_audio_streams(info);
    GList *video = gst_discoverer_info_get_video_streams(info);
    int index = 0;
    std::lock_guard lock(d->mutex);
    for (GList *l = audio; l; l = l->next) {
        auto pin = AddPin(PINDIR_OUTPUT, QStringLiteral("Raw Audio %1").arg(index++), nullptr, MEDIATYPE_Audio);
        pin->SetDeclaredCaps(gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(l->data)));
        d->audioPins.push_back(pin);
    }
    for (GList *l = video; l; l = l->next) {
        auto pin = AddPin(PINDIR_OUTPUT, QStringLiteral("Raw Video %1").arg(index++), nullptr, MEDIATYPE_Video);
        pin->SetDeclaredCaps(gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(l->data)));
        d->videoPins.push_back(pin);
    }
    gst_discoverer_stream_info_list_free(audio);
    gst_discoverer_stream_info_list_free(video);
    gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    g_object_set(d->source, "location", QFile::encodeName(fileName).constData(), nullptr);
    d->fileName = fileName;
    return S_OK;
}

HRESULT AsfReader::GetCurFile(QString *fileName, AM_MEDIA_TYPE *mt)
{
    return ReportAsfFile(d->fileName, fileName, mt);
}

} // namespace media
