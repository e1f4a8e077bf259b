#pragma once
// Runs a gst-launch style description in this process until its end of
// stream; false on a parse error, an error message or no end within the time.
#include <QString>

namespace testsupport {
bool RunPipelineToEnd(const QString &description, int timeoutSeconds = 20);
}
