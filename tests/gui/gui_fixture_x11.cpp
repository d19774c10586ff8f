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

}  // namespace gui_test
