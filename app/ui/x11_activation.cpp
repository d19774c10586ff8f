// X11 side of single-instance activation: the window property and the search for it.
#include "app/ui/x11_activation.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace app::ui {
namespace {

constexpr long kIconicState = 3;       // WM_STATE value of a minimised window
constexpr long kSourcePager = 2;       // _NET_ACTIVE_WINDOW: request on the user's behalf
constexpr int kMaxTransientDepth = 8;  // owner chains longer than this are not followed

// Ignores X errors while we look at windows other clients may destroy at any time.
class ErrorTrap {
public:
    ErrorTrap() : m_previous(XSetErrorHandler(&ignore)) {}
    ~ErrorTrap() { XSetErrorHandler(m_previous); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    static int ignore(Display*, XErrorEvent*) { return 0; }
    XErrorHandler m_previous;
};

bool xWindowOf(GtkWidget* window, Display*& display, Window& xid) {
    if (!window) return false;
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (!gdkWindow || !GDK_IS_X11_WINDOW(gdkWindow)) return false;
    display = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(gdkWindow));
    xid = GDK_WINDOW_XID(gdkWindow);
    return true;
}

// First 32-bit value of a property, if the window has it.
bool cardinalProperty(Display* display, Window window, Atom property, long& value) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int rc = XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType,
                                      &type, &format, &count, &after, &data);
    const bool found = rc == Success && type != None;
    value = 0;
    if (found && format == 32 && count > 0) value = reinterpret_cast<long*>(data)[0];
    if (data) XFree(data);
    return found;
}

// A client window and the child of the root that holds it (itself, or a manager's frame).
struct TopLevel {
    Window client;
    Window frame;
};

std::vector<Window> children(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &list, &count) && list) {
        result.assign(list, list + count);
        XFree(list);
    }
    return result;
}

// Top-level windows, topmost first. Under a reparenting window manager the client window
// sits one level below the frame; without one it is the root's child itself.
std::vector<TopLevel> topLevels(Display* display, Window root, Atom wmState) {
    std::vector<TopLevel> result;
    std::vector<Window> stack = children(display, root);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        long state = 0;
        if (cardinalProperty(display, *it, wmState, state)) {
            result.push_back({*it, *it});
            continue;
        }
        bool reparented = false;
        for (Window child : children(display, *it)) {
            if (cardinalProperty(display, child, wmState, state)) {
                result.push_back({child, *it});
                reparented = true;
                break;
            }
        }
        if (!reparented) result.push_back({*it, *it});
    }
    return result;
}

bool ownedBy(Display* display, Window window, Window owner) {
    for (int depth = 0; depth < kMaxTransientDepth; ++depth) {
        Window next = None;
        if (!XGetTransientForHint(display, window, &next) || next == None) return false;
        if (next == owner) return true;
        window = next;
    }
    return false;
}

bool minimised(Display* display, Window window, Atom wmState) {
    long state = 0;
    if (cardinalProperty(display, window, wmState, state) && state == kIconicState) return true;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsUnmapped;
}

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

bool shownPopup(Display* display, Window window, Atom wmState) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.override_redirect)
        return false;
    long state = 0;
    return attributes.map_state == IsViewable ||
           (cardinalProperty(display, window, wmState, state) && state == kIconicState);
}

void requestActivation(Display* display, Window root, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = kSourcePager;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void activate(Display* display, Window root, const std::vector<TopLevel>& windows,
              const TopLevel& main, Atom wmState) {
    if (minimised(display, main.client, wmState)) {
        XMapWindow(display, main.client);
        requestActivation(display, root, main.client);
    }
    TopLevel target = main;
    for (const TopLevel& candidate : windows) {
        if (candidate.client != main.client && ownedBy(display, candidate.client, main.client) &&
            shownPopup(display, candidate.client, wmState)) {
            target = candidate;
            break;
        }
    }
    if (target.client != main.client && minimised(display, target.client, wmState))
        XMapWindow(display, target.client);
    XRaiseWindow(display, target.frame);
    requestActivation(display, root, target.client);
    XSync(display, False);
    // Without a window manager nobody answers the request: focus the window ourselves.
    if (viewable(display, target.client))
        XSetInputFocus(display, target.client, RevertToParent, CurrentTime);
    XSync(display, False);
}

}  // namespace

void setWindowMark(GtkWidget* window, std::string_view name, long value) {
    Display* display = nullptr;
    Window xid = 0;
    if (!xWindowOf(window, display, xid)) return;
    const std::string atomName(name);
    const Atom mark = XInternAtom(display, atomName.c_str(), False);
    XChangeProperty(display, xid, mark, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XFlush(display);
}

void removeWindowMark(GtkWidget* window, std::string_view name) {
    Display* display = nullptr;
    Window xid = 0;
    if (!xWindowOf(window, display, xid)) return;
    const std::string atomName(name);
    XDeleteProperty(display, xid, XInternAtom(display, atomName.c_str(), False));
    XFlush(display);
}

bool activateMarkedWindow(std::string_view name) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    bool found = false;
    {
        ErrorTrap trap;
        const std::string atomName(name);
        const Atom mark = XInternAtom(display, atomName.c_str(), True);
        const Atom wmState = XInternAtom(display, "WM_STATE", False);
        const Window root = DefaultRootWindow(display);
        if (mark != None) {
            const std::vector<TopLevel> windows = topLevels(display, root, wmState);
            for (const TopLevel& candidate : windows) {
                long value = 0;
                if (cardinalProperty(display, candidate.client, mark, value)) {
                    activate(display, root, windows, candidate, wmState);
                    found = true;
                    break;
                }
            }
        }
        XSync(display, False);
    }
    XCloseDisplay(display);
    return found;
}

}  // namespace app::ui
