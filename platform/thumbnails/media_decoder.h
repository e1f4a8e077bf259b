#pragma once
// One local media file decoded into an application sink:
//   filesrc ! decodebin ! videoconvert|audioconvert ! appsink
// Only the wanted kind of stream is decoded; streams of the other kind are
// left undecoded and dropped. Every wait is bounded, so a broken file can
// never hold the caller.
#include "platform/thumbnails/gst_handle.h"

#include <QString>
#include <chrono>
#include <optional>

typedef struct _GstAppSink GstAppSink;

namespace thumbnails {

class MediaDecoder {
public:
    enum class Stream { Video, Audio };

    // Decodes the first stream of the given kind of path into an appsink
    // accepting caps (e.g. "video/x-raw,format=BGRx"). IsValid() is false
    // when the pipeline could not be built (missing plugin).
    MediaDecoder(const QString &path, Stream stream, const char *caps);
    ~MediaDecoder();
    MediaDecoder(const MediaDecoder &) = delete;
    MediaDecoder &operator=(const MediaDecoder &) = delete;

    bool IsValid() const { return pipeline_ != nullptr; }
    GstAppSink *Sink() const;

    // Goes to PAUSED and waits for the first buffer (or end of stream) to
    // reach the sink. False on error or when timeout passes first.
    bool Preroll(std::chrono::milliseconds timeout);
    // Flushing, accurate seek from PAUSED (demuxers do not reliably snap to a
    // later key frame), waiting for the new preroll.
    bool SeekAndPreroll(std::chrono::nanoseconds position, std::chrono::milliseconds timeout);
    std::optional<std::chrono::nanoseconds> Duration() const;
    bool Play();
    // After Play: waits for the end of the stream. False on error or time-out.
    bool WaitForEnd(std::chrono::milliseconds timeout);
    // True once an error message is waiting on the bus (non-blocking).
    bool HasFailed();

private:
    static void OnPadAdded(GstElement *decodebin, GstPad *pad, MediaDecoder *self);
    static gboolean OnAutoplugContinue(GstElement *decodebin, GstPad *pad, GstCaps *caps, MediaDecoder *self);
    bool WaitAsyncDone(std::chrono::milliseconds timeout);
    // Waits for a message of `done` (or an error) from the pipeline itself.
    bool WaitFor(GstMessageType done, std::chrono::milliseconds timeout);

    const char *wantedPrefix_;
    GstHandle<GstElement> pipeline_;
    GstElement *convert_ = nullptr; // owned by the pipeline
    GstElement *sink_ = nullptr;    // owned by the pipeline
    bool failed_ = false;
};

} // namespace thumbnails
