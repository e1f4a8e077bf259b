#pragma once
// Process-wide start of the media framework: once, on the main thread, before
// any graph is built. Consumes the framework's own command-line options.
namespace media {

void InitializeRuntime(int *argc, char ***argv);

} // namespace media
