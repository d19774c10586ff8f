// Shared-object loading with dlopen, and the name mapping from Windows module names.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/module.h"

namespace platform {
namespace {

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char a = s[s.size() - suffix.size() + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != suffix[i]) return false;
    }
    return true;
}

std::vector<std::string> searchDirs() {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QEL_MODULE_PATH")) {
        std::string_view rest(env);
        while (!rest.empty()) {
            std::size_t colon = rest.find(':');
            std::string_view dir = rest.substr(0, colon);
            if (!dir.empty()) dirs.emplace_back(dir);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (std::string dir : {ownModuleDir(), executableDir()})
        if (!dir.empty()) dirs.push_back(std::move(dir));
    return dirs;
}

}  // namespace

std::string moduleFileName(std::string_view name) {
    if (!endsWithNoCase(name, ".dll")) return std::string(name);
    std::string_view stem = name.substr(0, name.size() - 4);
    std::size_t slash = stem.find_last_of('/');
    std::string_view dir = slash == std::string_view::npos ? "" : stem.substr(0, slash + 1);
    std::string_view base = stem.substr(dir.size());
    return std::string(dir) + "lib" + std::string(base) + ".so";
}

Module::Module(std::string_view name) {
    load(name);
}

Module::~Module() {
    unload();
}

Module::Module(Module&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)) {}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

bool Module::load(std::string_view name) {
    unload();
    const std::string file = moduleFileName(name);
    if (file.empty()) return false;
    std::vector<std::string> candidates;
    if (file.find('/') != std::string::npos) {
        candidates.push_back(file);
    } else {
        for (const std::string& dir : searchDirs()) {
            std::string path = dir + "/" + file;
            if (::access(path.c_str(), F_OK) == 0) candidates.push_back(std::move(path));
        }
        candidates.push_back(file);  // the loader's own search path
    }
    for (const std::string& candidate : candidates) {
        if (void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            m_handle = handle;
            m_path = candidate;
            return true;
        }
    }
    return false;
}

bool Module::unload() {
    if (m_handle == nullptr) return true;
    const bool ok = ::dlclose(m_handle) == 0;
    m_handle = nullptr;
    m_path.clear();
    return ok;
}

std::string Module::loadedFile() const {
    link_map* map = nullptr;
    if (m_handle == nullptr || ::dlinfo(m_handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr)
        return m_path;
    return map->l_name;
}

bool Module::isLoaded(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return false;
    ::dlclose(handle);
    return true;
}

void* Module::symbol(const char* name) const {
    if (m_handle == nullptr || name == nullptr) return nullptr;
    return ::dlsym(m_handle, name);
}

std::string executableDir() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path().string();
}

std::string ownModuleDir() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownModuleDir), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::error_code ec;
    std::filesystem::path self = std::filesystem::canonical(info.dli_fname, ec);
    if (ec) return {};
    return self.parent_path().string();
}

}  // namespace platform
