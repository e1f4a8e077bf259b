#pragma once
// The capture engines start the media framework for their thread when they are
// made (the framework's per-thread runtime). Starting it twice is harmless; a
// failure writes "CoInitialize fail" and the engine is made all the same (its
// graphs will then fail to build).
namespace capture {

void InitializeComponentRuntime();

} // namespace capture
