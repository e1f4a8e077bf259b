#pragma once
// Starts a program detached: no arguments, no shell, not waited for.
#include <QString>

namespace process {

// True when the program was started. On failure writes
// "CreateProcess failed (<errno>).\n" to standard output.
bool LaunchProcess(const QString &program);

} // namespace process
