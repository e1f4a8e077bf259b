#pragma once
// Repair of an ASF file whose writer died before finishing it: its header has
// no duration and it has no index, so players refuse to seek in it or refuse
// it. The packets that are there are remuxed (no re-encoding) into a complete
// file beside it, the result is checked to open, and only then renamed over
// the original. Anything less leaves the original exactly as it was.
#include <QString>

namespace media {

enum class RepairResult {
    Repaired,      // the file now has a header with duration, and an index
    NotRepairable, // no readable packets (or no room to write); left untouched
};

// Blocks for at most about timeoutMs; runs on any thread (no Qt objects).
RepairResult RepairAsfFile(const QString &path, int timeoutMs = 60000);

// The temporary file a repair writes (hidden, so no listing shows it).
QString RepairTemporaryPath(const QString &path);

// Duration of an ASF file as its demuxer reports it, in ms; -1 when it does not
// open within timeoutMs.
qint64 AsfFileDurationMs(const QString &path, int timeoutMs = 10000);

} // namespace media
