#pragma once
// Run-time loaded libraries (dlopen/dlsym). A bare file name is looked up in
// the program's own product folder first, then by the system's search rules;
// the working directory is never searched.
#include <QString>
#include <memory>

namespace dynlib {

class DynamicLibrary {
public:
    // Null when the library cannot be loaded; the loader's reason goes to the
    // diagnostics channel.
    static std::shared_ptr<DynamicLibrary> Load(const QString &fileName);
    // The folder searched first: <program files>/Talvora.
    static QString ProductFolder();

    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    void *Symbol(const char *name) const;
    template <class Fn>
    Fn Function(const char *name) const { return reinterpret_cast<Fn>(Symbol(name)); }
    QString Path() const { return path_; }

private:
    DynamicLibrary(void *handle, QString path) : handle_(handle), path_(std::move(path)) {}
    void *handle_;
    QString path_;
};

} // namespace dynlib
