#pragma once
// Running processes, read from /proc.
#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace process {

// Ids of all running processes; empty when /proc cannot be read.
std::vector<pid_t> ProcessIds();

// Base name of the process's executable, or "<unknown>" when it cannot be read
// (another user's process, or one that has ended).
QString GetProcessBaseName(pid_t pid);

// True when some process runs `name`, ignoring case: its executable has that
// base name, or it is a script run through an interpreter and one of its first
// two arguments has that base name (the kernel then names the process after
// the script, cut to 15 characters). Anything unreadable never matches.
bool IsProcessRunning(const QString &name);

} // namespace process
