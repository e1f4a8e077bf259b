#pragma once
// Loads the plugins that playback needs (the ASF demuxer, the Windows Media
// decoders, what reading a file's streams uses) on a background thread, so
// the first file played does not wait for them on the dialog's thread. One
// thread per process at most, named "decoder preload", joined at exit.
namespace media {

// Starts the preload unless it ran already. Safe from any thread.
void PreloadDecoders();

} // namespace media
