// The luxador program as a user starts it: its window, a second start, and a measurement
// clicked on the simulated EyeOne in English and in Japanese.
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "app/startup.h"
#include "app/ui/details_panel.h"
#include "gui_fixture.h"
#include "platform/utf8.h"
#include "resources/string_ids.h"

namespace {

using gui_test::GuiTest;
using gui_test::Process;
using std::chrono::milliseconds;
using std::chrono::seconds;

class ProgramTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // A private runtime directory keeps the single-instance claim to this test.
        char dir[] = "/tmp/luxador-gui-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_runtimeDir = dir;
        setenv("XDG_RUNTIME_DIR", dir, 1);
        setenv("QEL_SIM_EYEONE_BUTTON", "600", 1);
        language("C.UTF-8");
    }
    void TearDown() override {
        if (!m_runtimeDir.empty()) std::filesystem::remove_all(m_runtimeDir);
    }
    static void language(const char* locale) {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", locale, 1);
    }

    // The program's main window: the viewable one that carries the instance mark.
    static unsigned long waitForMainWindow() {
        unsigned long found = 0;
        pumpUntil(
            [&] {
                for (unsigned long w : topLevelWindows())
                    if (viewable(w) && hasProperty(w, "Luxador")) found = w;
                return found != 0;
            },
            seconds(30));
        return found;
    }

    // Height of the main window's closed "Details" expander.
    static int closedDetailsHeight() {
        int height = 0;
        {
            app::ui::DetailsPanel panel([](std::uint32_t) { return std::string("Details"); },
                                        [](std::string_view) {});
            GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            gtk_container_add(GTK_CONTAINER(window), panel.widget());
            gtk_widget_get_preferred_height(panel.widget(), nullptr, &height);
            gtk_widget_destroy(window);
        }
        return height;
    }

    // Clicks Start Measurement by its place in the dialog (7, 138, 81 x 16 of 247 x 161
    // dialog units) and follows the step dialogs the main window owns until none is left;
    // the captions of the step dialogs seen.
    static std::set<std::string> clickStartAndFollowSteps(unsigned long main) {
        const auto geometry =
            gui_test::run({"xdotool", "getwindowgeometry", "--shell", std::to_string(main)});
        int x = 0, y = 0, width = 0, height = 0;
        std::istringstream lines(geometry.out);
        for (std::string line; std::getline(lines, line);) {
            std::sscanf(line.c_str(), "X=%d", &x);
            std::sscanf(line.c_str(), "Y=%d", &y);
            std::sscanf(line.c_str(), "WIDTH=%d", &width);
            std::sscanf(line.c_str(), "HEIGHT=%d", &height);
        }
        const int clickX = x + width * (7 * 2 + 81) / (2 * 247);
        // The closed "Details" row under the dialog is not part of the template.
        const int dialogHeight = height - closedDetailsHeight();
        const int clickY = y + dialogHeight * (138 * 2 + 16) / (2 * 161);
        gui_test::run({"xdotool", "mousemove", "--sync", std::to_string(clickX),
                       std::to_string(clickY), "click", "1"});
        std::set<unsigned long> steps;
        std::set<std::string> captions;
        pumpUntil(
            [&] {
                bool open = false;
                for (unsigned long w : topLevelWindows()) {
                    if (owner(w) != main || !viewable(w)) continue;
                    open = true;
                    steps.insert(w);
                    // A dialog that closed since the listing has no name left to read.
                    if (std::string name = windowName(w); !name.empty()) captions.insert(name);
                }
                return steps.size() >= 2 && !open;
            },
            seconds(60));
        EXPECT_EQ(steps.size(), 2u) << "step dialogs seen";
        return captions;
    }

    std::string m_runtimeDir;
};

TEST_F(ProgramTest, SecondStartRestoresAndRaisesTheFirstAndExits) {
    Process first;
    ASSERT_TRUE(first.start({LUXADOR_PROGRAM, "--simulate", "D65"}));
    const unsigned long main = waitForMainWindow();
    ASSERT_NE(main, 0u);
    EXPECT_EQ(windowName(main), "Luxador");
    EXPECT_EQ(gui_test::run({"xprop", "-id", std::to_string(main), "Luxador"}).out,
              "Luxador(CARDINAL) = 1");

    // Another window on top with the focus, and the first minimised (unmapped).
    gui_test::run({"xdotool", "windowunmap", "--sync", std::to_string(main)});
    GtkWidget* other = showCoveringWindow();
    ASSERT_FALSE(viewable(main));

    Process second;
    ASSERT_TRUE(second.start({LUXADOR_PROGRAM}));
    EXPECT_EQ(second.wait(seconds(20)), 0);
    EXPECT_TRUE(pumpUntil([&] { return viewable(main); }));
    EXPECT_TRUE(stackedAbove(main, xid(other)));
    EXPECT_TRUE(pumpUntil([&] { return focusedWindow() == main; }));
    EXPECT_LT(first.poll(), 0) << "the first instance ended";

    // Esc ends the dialog and the program.
    gui_test::run({"xdotool", "windowfocus", "--sync", std::to_string(main)});
    gui_test::run({"xdotool", "key", "Escape"});
    EXPECT_EQ(first.wait(seconds(20)), 0);
    gtk_widget_destroy(other);
}

TEST_F(ProgramTest, EnterAtLaunchStartsAMeasurementRatherThanQuitting) {
    setenv("QEL_SIM_EYEONE_BUTTON", "never", 1);
    Process program;
    ASSERT_TRUE(program.start({LUXADOR_PROGRAM, "--simulate", "D65"}));
    const unsigned long main = waitForMainWindow();
    ASSERT_NE(main, 0u);
    gui_test::run({"xdotool", "windowfocus", "--sync", std::to_string(main)});
    gui_test::run({"xdotool", "key", "Return"});
    const bool stepShown = pumpUntil(
        [&] {
            for (unsigned long w : topLevelWindows())
                if (owner(w) == main && viewable(w)) return true;
            return false;
        },
        seconds(20));
    EXPECT_TRUE(stepShown) << "no step dialog after Enter";
    EXPECT_LT(program.poll(), 0) << "Enter ended the program";
}

TEST_F(ProgramTest, SimulatedMeasurementInEnglishByClickingStart) {
    Process program;
    ASSERT_TRUE(program.start({LUXADOR_PROGRAM, "--simulate", "D65", "--lux", "500"}));
    const unsigned long main = waitForMainWindow();
    ASSERT_NE(main, 0u);
    EXPECT_EQ(windowName(main), "Luxador");
    EXPECT_EQ(clickStartAndFollowSteps(main), std::set<std::string>{"Measurement"});
    pumpUntil([] { return false; }, milliseconds(800));  // the theme fades widgets in
    EXPECT_FALSE(screenshot(main, "program_en").empty());
    EXPECT_LT(program.poll(), 0);
}

TEST_F(ProgramTest, SimulatedMeasurementInJapaneseByClickingStart) {
    const auto directory = platform::fromUtf8(LANGUAGE_MODULE_DIR);
    ASSERT_TRUE(directory);
    const app::Resources japanese = app::selectResources(app::kJapanese, directory->c_str());
    ASSERT_TRUE(japanese.fromModule());
    language("ja_JP.UTF-8");

    Process program;
    ASSERT_TRUE(program.start({LUXADOR_PROGRAM, "--simulate", "F11", "--lux", "700"}));
    const unsigned long main = waitForMainWindow();
    ASSERT_NE(main, 0u);
    EXPECT_EQ(windowName(main), japanese.text(app::ids::kMainCaption));
    EXPECT_EQ(clickStartAndFollowSteps(main),
              std::set<std::string>{japanese.text(app::ids::kStepCaption)});
    pumpUntil([] { return false; }, milliseconds(800));  // the theme fades widgets in
    EXPECT_FALSE(screenshot(main, "program_ja").empty());
    EXPECT_LT(program.poll(), 0);
}

}  // namespace
