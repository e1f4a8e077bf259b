#pragma once
// The marker "NAME.wmv.recording" that lies beside a file while it is being
// written and is removed once the file is complete. A marker left behind names
// a file whose writer died (killed, crashed, power cut) and that needs repair.
// The marker holds the writer's process id and boot id, so the running program
// never mistakes the file it is writing now for an interrupted one.
#include <QString>

namespace media {

QString RecordingMarkerPath(const QString &file);
// True when "X.recording" is a marker (then *file is X).
bool IsRecordingMarker(const QString &markerPath, QString *file = nullptr);
bool WriteRecordingMarker(const QString &file);
void RemoveRecordingMarker(const QString &file);
// The marker was written by this very process: its file is being written now.
bool MarkerIsOurs(const QString &markerPath);

} // namespace media
