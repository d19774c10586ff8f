// X11 window ids for the GUI tests (apart: Xlib's macros clash with gtest's and the program's).
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace gui_test {

unsigned long toplevelXid(GtkWidget* widget) {
    return GDK_WINDOW_XID(gtk_widget_get_window(gtk_widget_get_toplevel(widget)));
}

// Asks the server, so a window GTK has only asked to map does not count yet.
bool serverViewable(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    if (!window) return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), &attributes) &&
           attributes.map_state == IsViewable;
}

// Whether `upper`'s top-level window is stacked above `lower`'s.
bool stackedAbove(GtkWidget* upper, GtkWidget* lower) {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(upper));
    if (!window) return false;
    Display* display = GDK_WINDOW_XDISPLAY(window);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    const Window a = toplevelXid(upper);
    const Window b = toplevelXid(lower);
    int indexA = -1;
    int indexB = -1;
    for (unsigned int i = 0; i < count; ++i) {
        if (children[i] == a) indexA = static_cast<int>(i);
        if (children[i] == b) indexB = static_cast<int>(i);
    }
    if (children) XFree(children);
    return indexA >= 0 && indexB >= 0 && indexA > indexB;  // bottom to top
}

bool hasInputFocus(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(widget));
    if (!window) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(GDK_WINDOW_XDISPLAY(window), &focus, &revert);
    return focus == GDK_WINDOW_XID(window);
}

}  // namespace gui_test
