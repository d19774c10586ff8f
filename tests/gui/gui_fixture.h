// In-process GUI tests: a private Xvfb, GTK started on it, and real input through xdotool.
#ifndef TESTS_GUI_GUI_FIXTURE_H
#define TESTS_GUI_GUI_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "xvfb_server.h"

typedef struct _GtkWidget GtkWidget;

namespace gui_test {

class GuiTest : public ::testing::Test {
protected:
    // Starts Xvfb and GTK once per test program; skips when Xvfb or xdotool is missing.
    void SetUp() override;

    // Handles toolkit events until `done` or the time-out.
    static bool pumpUntil(const std::function<bool()>& done,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    static void pump();
    // Whether a top-level window is mapped and viewable.
    static bool viewable(GtkWidget* window);
    // Clicks the middle of a widget with the real pointer.
    static void click(GtkWidget* widget);
    // Gives the keyboard to a top-level window and types a key (xdotool key names).
    static void key(GtkWidget* window, const std::string& keyName);
    static unsigned long xid(GtkWidget* window);
    // Shows a large window of our own on top of the others, with the keyboard focus; the
    // caller destroys it.
    static GtkWidget* showCoveringWindow();
    // Map state, stacking and focus as the X server sees them.
    static bool viewable(unsigned long window);
    static bool stackedAbove(unsigned long upper, unsigned long lower);
    static bool stackedAbove(GtkWidget* upper, GtkWidget* lower) {
        return stackedAbove(xid(upper), xid(lower));
    }
    static unsigned long focusedWindow();
    // Top-level windows, bottom to top, and what their properties say.
    static std::vector<unsigned long> topLevelWindows();
    static bool hasProperty(unsigned long window, const char* name);
    static std::string windowName(unsigned long window);  // _NET_WM_NAME, UTF-8
    static unsigned long owner(unsigned long window);     // WM_TRANSIENT_FOR, or 0
    static bool hasInputFocus(GtkWidget* window) { return focusedWindow() == xid(window); }
    // Saves a top-level window as a PNG under the build's artifacts folder; its path.
    static std::string screenshot(unsigned long window, const std::string& name);
    // Repaints the window first, so the picture shows what its widgets hold now.
    static std::string screenshot(GtkWidget* window, const std::string& name);
};

}  // namespace gui_test

#endif  // TESTS_GUI_GUI_FIXTURE_H
