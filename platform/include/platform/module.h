// Run-time loading of shared libraries by their Windows-style file names.
#ifndef PLATFORM_MODULE_H
#define PLATFORM_MODULE_H

#include <string>
#include <string_view>

namespace platform {

// Maps a module file name as the system names it ("EyeOne.dll") to the Linux shared
// object that stands for it ("libEyeOne.so"). Names without a ".dll" suffix are kept.
std::string moduleFileName(std::string_view name);

// Directories searched, in order, for a module named without a directory:
//   1. each directory of the QEL_MODULE_PATH environment variable (colon-separated);
//   2. the directory of the library or program that contains this code;
//   3. the directory of the running program;
//   4. the dynamic loader's normal search path.
// A name with a '/' is loaded as it stands.
class Module {
public:
    Module() = default;
    explicit Module(std::string_view name);
    ~Module();
    Module(Module&& other) noexcept;
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Loads `name` (see above); false when no file could be loaded.
    bool load(std::string_view name);
    // Unloads; false when the loader refused. Unloading nothing succeeds.
    bool unload();
    bool loaded() const { return m_handle != nullptr; }
    // Address of an exported symbol, or null.
    void* symbol(const char* name) const;
    // The path that was loaded.
    const std::string& path() const { return m_path; }
    // The file the loader opened, also when it searched its own path; empty when unloaded.
    std::string loadedFile() const;
    // True when the file at `path` is loaded in this process, by anyone.
    static bool isLoaded(const std::string& path);

    template <typename Fn>
    bool resolve(const char* name, Fn*& fn) const {
        fn = reinterpret_cast<Fn*>(symbol(name));
        return fn != nullptr;
    }

private:
    void* m_handle = nullptr;
    std::string m_path;
};

// Directory of the running program (no trailing slash), or empty.
std::string executableDir();
// Directory of the shared object or program holding this code (no trailing slash).
std::string ownModuleDir();

}  // namespace platform

#endif  // PLATFORM_MODULE_H
