#include "app/version_info.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/files.h"
#include "platform/module.h"

#ifndef LUXADOR_VERSION
#error "LUXADOR_VERSION must name the program's version"
#endif
#ifndef LUXADOR_INSTALLED_SIM_DIR
#error "LUXADOR_INSTALLED_SIM_DIR must give the simulators' directory relative to the program's"
#endif

namespace app {
namespace {

// The loaded file without "dir/.." steps (a search through $ORIGIN/.. leaves them).
std::string fileOf(const platform::Module& module) {
    return std::filesystem::path(module.loadedFile()).lexically_normal().string();
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Both libraries write their version times 100 through a function of this shape.
template <typename Int>
void printLibrary(std::ostream& out, const platform::Module& module, std::string_view label,
                  const char* versionFunction) {
    out << label << ' ';
    if (!module.loaded()) {
        out << "not found\n";
        return;
    }
    using VersionFn = Int(Int*);
    VersionFn* version = nullptr;
    Int value = 0;
    if (module.resolve(versionFunction, version) && version(&value) == 0 && value >= 0)
        out << value / 100 << '.' << (value % 100 < 10 ? "0" : "") << value % 100;
    else
        out << "(no version)";
    out << ' ' << fileOf(module) << '\n';
}

}  // namespace

void printVersion(std::ostream& out) {
    out << "luxador " << LUXADOR_VERSION << '\n';
    const platform::Module chromel("chromel32.dll");
    const platform::Module meterio("meterio32.dll");
    printLibrary<std::int32_t>(out, chromel, "chromel32", "QelColor_Version");
    printLibrary<std::uint32_t>(out, meterio, "meterio32", "QelAmbientReader_Version");

    // The instrument library's search for "EyeOne.dll" and the other vendor modules.
    out << "vendor module path:";
    const char* path = std::getenv("QEL_MODULE_PATH");
    std::string_view dirs = path ? path : "";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        if (colon != 0) out << ' ' << dirs.substr(0, colon) << ',';
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    if (meterio.loaded()) out << ' ' << directoryOf(fileOf(meterio)) << ',';
    out << ' ' << platform::executableDir() << ", the dynamic loader's search path\n";
}

std::string simulatorDir() {
    const std::string exeDir = platform::executableDir();
    const std::string eyeOne = platform::moduleFileName("EyeOne.dll");
    for (const std::string& dir : {exeDir + "/sim", exeDir + "/" + LUXADOR_INSTALLED_SIM_DIR})
        if (platform::fileExists(dir + "/" + eyeOne)) return dir;
    return exeDir + "/sim";
}

}  // namespace app
