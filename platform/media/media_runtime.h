#pragma once
// Start of the media framework. The program starts it once on the main thread
// before any graph is built; engines made without that start (tests, tools)
// start it themselves when they are made.
namespace media {

// Process-wide start that consumes the framework's own command-line options.
void InitializeRuntime(int *argc, char ***argv);

// Starts the framework unless it runs already; false when it cannot be
// started (graphs then fail to build). Safe to call many times.
bool EnsureRuntime();

} // namespace media
