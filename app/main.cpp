// luxador: measures the light source lighting a room.
//   luxador                       the desktop window
//   luxador --console [--json]    one measurement in the terminal; --spectrum FILE and the
//                                 --target-... options add the spectrum file and the verdict
//   luxador --version             versions, library files and the vendor module path
//   --simulate SOURCE [--lux N]   the simulated EyeOne measuring a CIE illuminant or a
//                                 spectrum file at N lux, its button pressed by itself
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/console.h"
#include "app/spectrum_file.h"
#include "app/startup.h"
#include "app/version_info.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/ui_language.h"

#ifdef LUXADOR_HAVE_GUI
#include "app/ui/gtk_front_end.h"
#include "app/ui/x11_activation.h"
#endif

namespace {

enum Exit : int { kMeasured = 0, kNotMeasured = 1, kUsage = 2, kNotStarted = 3 };

constexpr std::string_view kUsageText =
    "usage: luxador [--console [--json] [--spectrum FILE] [--target-...]]\n"
    "               [--simulate SOURCE [--lux N]] [--version] [--help]\n"
    "  --console          run one measurement in the terminal and print the results\n"
    "  --json             print the results as one JSON object (with --console)\n"
    "  --simulate SOURCE  use the simulated EyeOne measuring SOURCE: A, C, D50, D55, D65, D75,\n"
    "                     F1 ... F12 (any letter case) or a file of \"wavelength value\" lines\n"
    "  --lux N            illuminance of the simulated light in lux (default 500)\n"
    "  --version          print the versions of the program and its libraries and the\n"
    "                     vendor module path, then exit\n"
    "  --spectrum FILE    write the measured spectrum to FILE as CSV (with --console)\n"
    "  --target-lux N[\u00b1M]   verdict: illuminance target and tolerance (default 500\u00b1125)\n"
    "  --target-white W   verdict: white point D50, D65 or NNNNK on the daylight locus\n"
    "                     (default D50, within 0.005 in u'v')\n"
    "  --target-ra N      verdict: lowest Ra (default 90; R9 must reach 50)\n"
    "  --help             print this text\n";

struct Options {
    bool help = false;
    bool console = false;
    bool json = false;
    std::optional<std::string> simulate;
    std::optional<double> lux;
    bool version = false;
    std::optional<std::string> spectrum;
    std::optional<app::Targets> targets;
};

std::optional<Options> parse(int argc, char** argv, std::string& error) {
    // Options followed by a value.
    static const std::set<std::string_view> kValued{
        "--simulate", "--lux", "--spectrum", "--target-lux", "--target-white", "--target-ra"};
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--console") {
            o.console = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (kValued.contains(arg) && i + 1 >= argc) {
            error = std::string(arg) + " needs a value";
            return std::nullopt;
        } else if (arg == "--simulate" || arg == "--lux") {
            const std::string value = argv[++i];
            if (arg == "--simulate") {
                o.simulate = value;
                continue;
            }
            char* end = nullptr;
            const double lux = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != 0 || !std::isfinite(lux) || lux < 0) {
                error = "--lux needs a number of lux, not \"" + value + "\"";
                return std::nullopt;
            }
            o.lux = lux;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--spectrum" || arg == "--target-lux" || arg == "--target-white" ||
                   arg == "--target-ra") {
            const std::string value = argv[++i];
            if (arg == "--spectrum") {
                o.spectrum = value;
                continue;
            }
            if (!o.targets) o.targets = app::defaultTargets();
            const bool parsed =
                arg == "--target-lux"     ? app::parseTargetLux(value, *o.targets, error)
                : arg == "--target-white" ? app::parseTargetWhite(value, *o.targets, error)
                                          : app::parseTargetRa(value, *o.targets, error);
            if (!parsed) return std::nullopt;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else {
            error = "unknown argument \"" + std::string(arg) + "\"";
            return std::nullopt;
        }
    }
    if (o.help) return o;
    if (o.json && !o.console) error = "--json goes with --console";
    if (o.lux && !o.simulate) error = "--lux goes with --simulate";
    if ((o.spectrum || o.targets) && !o.console)
        error = "--spectrum and the --target options go with --console";
    if (o.spectrum && o.spectrum->empty()) error = "--spectrum needs a file name";
    if (!error.empty()) return std::nullopt;
    return o;
}

// The illuminant `name` stands for in any letter case ("f11" is "F11"), or null.
std::optional<std::string_view> illuminantName(std::string_view name) {
    static constexpr std::array<std::string_view, 18> kNames{
        "A",  "C",  "D50", "D55", "D65", "D75", "F1",  "F2",  "F3",
        "F4", "F5", "F6",  "F7",  "F8",  "F9",  "F10", "F11", "F12"};
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (std::string_view n : kNames)
        if (std::equal(n.begin(), n.end(), name.begin(), name.end(),
                       [&](char a, char b) { return a == upper(b); }))
            return n;
    return std::nullopt;
}

// Points the instrument library at the simulated EyeOne beside the program. A spectrum file
// is read here, so that a bad one is refused before anything starts.
bool useSimulator(const Options& o, std::string& error) {
    std::string source = *o.simulate;
    if (const std::optional<std::string_view> name = illuminantName(source)) {
        source = *name;
    } else if (std::vector<app::SpectrumPoint> points;
               !app::readSpectrumFile(source, points, error)) {
        error = "--simulate needs a CIE illuminant name or a spectrum file: " + error;
        return false;
    }
    const std::string simDir = app::simulatorDir();
    if (!platform::fileExists(simDir + "/" + platform::moduleFileName("EyeOne.dll"))) {
        error = "the simulated instrument is not installed in " + simDir;
        return false;
    }
    const char* path = std::getenv("QEL_MODULE_PATH");
    platform::setEnvironment("QEL_MODULE_PATH", path && *path ? simDir + ":" + path : simDir);
    platform::setEnvironment("QEL_SIM_EYEONE_SOURCE", source);
    platform::setEnvironment("QEL_SIM_EYEONE_LUX", std::to_string(o.lux.value_or(500.0)));
    // The button is pressed a moment after each prompt, unless the caller chose the delay.
    if (std::getenv("QEL_SIM_EYEONE_BUTTON") == nullptr)
        platform::setEnvironment("QEL_SIM_EYEONE_BUTTON", "1000");
    return true;
}

int runConsole(app::CLuxadorUIApp& application, const Options& o) {
    platform::ConsoleCancel cancel;
    const platform::ConsoleEncoding encoding;
    app::ConsoleFrontEnd frontEnd(
        application.resources(), std::cout, std::cerr, o.json,
        [&cancel] { return cancel.cancelRequested(); },
        [&encoding](std::string_view text) { return encoding(text); });
    frontEnd.setDetailOptions(o.targets.value_or(app::defaultTargets()), o.spectrum.value_or(""));
    const bool measured = application.runMainDialog(frontEnd);
    return measured && !frontEnd.spectrumLost() ? kMeasured : kNotMeasured;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<Options> options = parse(argc, argv, error);
    if (!options) {
        std::cerr << "luxador: " << error << '\n' << kUsageText;
        return kUsage;
    }
    if (options->help) {
        std::cout << kUsageText;
        return kMeasured;
    }
    if (options->simulate && !useSimulator(*options, error)) {
        std::cerr << "luxador: " << error << '\n';
        return kUsage;
    }
    if (options->version) {
        app::printVersion(std::cout);
        return kMeasured;
    }
#ifdef LUXADOR_HAVE_GUI
    const bool gui = !options->console && app::ui::openDisplay(argc, argv);
#else
    const bool gui = false;
#endif
    if (!options->console && !gui) {
        std::cerr << "luxador: no desktop display to open; use --console\n";
        return kUsage;
    }

    app::CLuxadorUIApp application;
    switch (application.initInstance(platform::userUiLanguage())) {
        case app::CLuxadorUIApp::Start::Run:
            break;
        case app::CLuxadorUIApp::Start::AlreadyRunning:
#ifdef LUXADOR_HAVE_GUI
            if (gui) app::ui::activateMarkedWindow(app::kInstanceName);
#endif
            if (options->json) {
                app::ConsoleReport report;
                report.status = "Luxador is already running.";
                report.outcome = app::ConsoleOutcome::AlreadyRunning;
                std::cout << app::reportJson(report) << '\n';
            }
            if (options->console) std::cerr << "luxador: already running\n";
            return options->console ? kNotStarted : kMeasured;
        case app::CLuxadorUIApp::Start::Failed:
            if (options->console) std::cerr << "luxador: cannot claim the single instance\n";
            return kNotStarted;
    }
    if (options->console) return runConsole(application, *options);
#ifdef LUXADOR_HAVE_GUI
    app::ui::GtkFrontEnd frontEnd(application.resources());
    application.runMainDialog(frontEnd);
#endif
    return kMeasured;
}
