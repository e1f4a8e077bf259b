#pragma once
// The desktop shell's services: the user's documents folder, the program's
// own folder and "open with the default handler".
#include <QString>
#include <functional>
#include <optional>

namespace shell {

// The user's documents folder (XDG), created when missing, without a trailing
// separator. Falls back to $HOME/Documents, then to the home folder itself.
QString DocumentsFolder();

// The folder that holds the product folder "Talvora" (the "program files"
// folder): $TALVORA_PROGRAM_FILES when set, else <executable>/../lib.
// Empty when neither can be determined.
std::optional<QString> ProgramFilesFolder();

// Opens path with the desktop's default handler. Returns false when the
// request could not be handed over.
bool OpenWithDefaultHandler(const QString &path);

// Tests replace the opener so nothing is launched; null restores the real one.
using OpenHook = std::function<bool(const QString &)>;
void SetOpenHook(OpenHook hook);

} // namespace shell
