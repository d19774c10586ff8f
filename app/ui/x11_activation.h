// Single-instance activation on X11: the main window carries a named property; a second
// start finds the window that carries it and brings it to the front.
#ifndef APP_UI_X11_ACTIVATION_H
#define APP_UI_X11_ACTIVATION_H

#include <string_view>

typedef struct _GtkWidget GtkWidget;

namespace app::ui {

// Sets or removes the 32-bit property `name` on a realised top-level window. Without an
// X11 window nothing is marked.
void setWindowMark(GtkWidget* window, std::string_view name, long value);
void removeWindowMark(GtkWidget* window, std::string_view name);

// Finds the first top-level window, topmost first, that carries the property `name` on the
// display of $DISPLAY; restores it when minimised and brings its topmost popup (an open
// dialog it owns) or else the window itself to the front. False when there is no display
// or no marked window.
bool activateMarkedWindow(std::string_view name);

}  // namespace app::ui

#endif  // APP_UI_X11_ACTIVATION_H
