// X11 queries for the GUI tests (apart: Xlib's macros clash with gtest's and the program's).
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace gui_test {
namespace {

Display* display() {
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

// Windows of other clients may go at any moment: their errors are expected, not fatal.
class ErrorTrap {
public:
    ErrorTrap() { gdk_x11_display_error_trap_push(gdk_display_get_default()); }
    ~ErrorTrap() { gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default()); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
};

}  // namespace

unsigned long toplevelXid(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    return window ? GDK_WINDOW_XID(window) : 0;
}

// Asks the server, so a window GTK has only asked to map does not count yet.
bool serverViewable(unsigned long xid) {
    ErrorTrap trap;
    XWindowAttributes attributes{};
    return xid && XGetWindowAttributes(display(), xid, &attributes) &&
           attributes.map_state == IsViewable;
}

// Whether `upper` is stacked above `lower` among the root's children.
bool stackedAbove(unsigned long upper, unsigned long lower) {
    ErrorTrap trap;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display(), DefaultRootWindow(display()), &root, &parent, &children, &count))
        return false;
    int indexUpper = -1;
    int indexLower = -1;
    for (unsigned int i = 0; i < count; ++i) {
        if (children[i] == upper) indexUpper = static_cast<int>(i);
        if (children[i] == lower) indexLower = static_cast<int>(i);
    }
    if (children) XFree(children);
    return indexUpper >= 0 && indexLower >= 0 && indexUpper > indexLower;  // bottom to top
}

std::vector<unsigned long> topLevelWindows() {
    ErrorTrap trap;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> result;
    if (XQueryTree(display(), DefaultRootWindow(display()), &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children) XFree(children);
    }
    return result;
}

bool hasProperty(unsigned long xid, const char* name) {
    ErrorTrap trap;
    const Atom atom = XInternAtom(display(), name, True);
    if (atom == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display(), xid, atom, 0, 1, False, AnyPropertyType, &type,
                                          &format, &count, &after, &data) == Success &&
                       type != None;
    if (data) XFree(data);
    return found;
}

std::string utf8Name(unsigned long xid) {
    ErrorTrap trap;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display(), xid, XInternAtom(display(), "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display(), "UTF8_STRING", False), &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 8)
        name.assign(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    return name;
}

unsigned long transientFor(unsigned long xid) {
    ErrorTrap trap;
    Window owner = None;
    return XGetTransientForHint(display(), xid, &owner) ? owner : 0;
}

unsigned long inputFocus() {
    ErrorTrap trap;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display(), &focus, &revert);
    return focus;
}

}  // namespace gui_test
