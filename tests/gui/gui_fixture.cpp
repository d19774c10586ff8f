// Xvfb + GTK start-up and input helpers shared by the in-process GUI tests.
#include "gui_fixture.h"

#include <gtk/gtk.h>

#include <memory>

#include "app/ui/template_window.h"

namespace gui_test {

// gui_fixture_x11.cpp
unsigned long toplevelXid(GtkWidget* widget);
bool serverViewable(unsigned long xid);
bool stackedAbove(unsigned long upper, unsigned long lower);
unsigned long inputFocus();
std::vector<unsigned long> topLevelWindows();
bool hasProperty(unsigned long xid, const char* name);
std::string utf8Name(unsigned long xid);
unsigned long transientFor(unsigned long xid);

std::vector<unsigned long> GuiTest::topLevelWindows() {
    return gui_test::topLevelWindows();
}

bool GuiTest::hasProperty(unsigned long window, const char* name) {
    return gui_test::hasProperty(window, name);
}

std::string GuiTest::windowName(unsigned long window) {
    return utf8Name(window);
}

unsigned long GuiTest::owner(unsigned long window) {
    return transientFor(window);
}

unsigned long GuiTest::xid(GtkWidget* window) {
    return toplevelXid(window);
}

bool GuiTest::viewable(unsigned long window) {
    return serverViewable(window);
}

bool GuiTest::stackedAbove(unsigned long upper, unsigned long lower) {
    return gui_test::stackedAbove(upper, lower);
}

unsigned long GuiTest::focusedWindow() {
    return inputFocus();
}

std::string GuiTest::screenshot(unsigned long window, const std::string& name) {
    const std::string path = std::string(QEL_ARTIFACT_DIR) + "/" + name + ".png";
    pump();
    const CommandResult result = run({"import", "-window", std::to_string(window), path});
    return result.status == 0 ? path : std::string();
}

namespace {

XvfbServer* server() {
    static auto* instance = new XvfbServer;  // stopped at exit by the destructor below
    return instance;
}

struct ServerStopper {
    ~ServerStopper() { server()->stop(); }
} g_stopper;

bool g_started = false;
std::string g_error;

}  // namespace

void GuiTest::SetUp() {
    if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!onPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    if (!g_started && g_error.empty()) {
        if (!server()->start()) {
            g_error = server()->error();
        } else {
            int argc = 1;
            char name[] = "gui_test";
            char* args[] = {name, nullptr};
            char** argv = args;
            if (!app::ui::openDisplay(argc, argv)) {
                g_error = "GTK cannot open " + server()->display();
            } else {
                // Screenshots show widgets in their state, not half-way through a fade.
                g_object_set(gtk_settings_get_default(), "gtk-enable-animations", FALSE, nullptr);
            }
        }
        g_started = g_error.empty();
    }
    ASSERT_TRUE(g_started) << g_error;
}

void GuiTest::pump() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

bool GuiTest::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return waitFor(done, timeout, [] { pump(); });
}

bool GuiTest::viewable(GtkWidget* window) {
    return window && serverViewable(xid(window));
}

void GuiTest::click(GtkWidget* widget) {
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &originX, &originY);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, top, 0, 0, &x, &y);
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    run({"xdotool", "mousemove", "--sync", std::to_string(originX + x + a.width / 2),
         std::to_string(originY + y + a.height / 2), "click", "1"});
}

std::string GuiTest::screenshot(GtkWidget* window, const std::string& name) {
    GtkWidget* top = gtk_widget_get_toplevel(window);
    GdkFrameClock* clock = gtk_widget_get_frame_clock(top);
    bool painted = false;
    gulong handler = 0;
    if (clock) {
        handler = g_signal_connect_swapped(clock, "after-paint",
                                           G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
        gtk_widget_queue_draw(top);
        pumpUntil([&] { return painted; }, std::chrono::seconds(5));
        g_signal_handler_disconnect(clock, handler);
    }
    gdk_display_sync(gtk_widget_get_display(top));
    return screenshot(xid(top), name);
}

GtkWidget* GuiTest::showCoveringWindow() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_widget_show(window);
    pumpUntil([&] { return viewable(window); });
    run({"xdotool", "windowraise", std::to_string(xid(window))});
    run({"xdotool", "windowfocus", "--sync", std::to_string(xid(window))});
    pump();
    return window;
}

void GuiTest::key(GtkWidget* window, const std::string& keyName) {
    run({"xdotool", "windowfocus", "--sync", std::to_string(xid(window))});
    pump();
    run({"xdotool", "key", keyName});
}

}  // namespace gui_test
