#pragma once
// One local media file decoded by playbin into an application sink, with every
// wait bounded so a broken file can never hold the caller.
#include "platform/thumbnails/gst_handle.h"

#include <QString>
#include <chrono>
#include <optional>

typedef struct _GstAppSink GstAppSink;

namespace thumbnails {

class PlaybinDecoder {
public:
    enum class Stream { Video, Audio };

    // Decodes only the given stream kind of path into an appsink accepting caps
    // (e.g. "video/x-raw,format=BGRx"). IsValid() is false when the pipeline
    // could not be built (missing plugin, unconvertible path).
    PlaybinDecoder(const QString &path, Stream stream, const char *caps);
    ~PlaybinDecoder();
    PlaybinDecoder(const PlaybinDecoder &) = delete;
    PlaybinDecoder &operator=(const PlaybinDecoder &) = delete;

    bool IsValid() const { return pipeline_ != nullptr; }
    GstAppSink *Sink() const;

    // Goes to PAUSED and waits for the first buffer (or end of stream) to
    // reach the sink. False on error or when timeout passes first.
    bool Preroll(std::chrono::milliseconds timeout);
    // Flushing key-frame seek from PAUSED, waiting for the new preroll.
    bool SeekAndPreroll(std::chrono::nanoseconds position, std::chrono::milliseconds timeout);
    std::optional<std::chrono::nanoseconds> Duration() const;
    bool Play();
    // True once an error message is waiting on the bus (non-blocking).
    bool HasFailed();

private:
    bool WaitAsyncDone(std::chrono::milliseconds timeout);

    GstHandle<GstElement> pipeline_;
    GstHandle<GstElement> sink_;
    bool failed_ = false;
};

} // namespace thumbnails
