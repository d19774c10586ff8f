// Builds GTK windows from dialog templates and routes their buttons, keys and close box.
#include "app/ui/template_window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

extern const unsigned char kLuxadorIconPng[];
extern const unsigned long kLuxadorIconPng_size;

namespace app::ui {

bool openDisplay(int& argc, char**& argv) {
    // Single-instance activation finds windows by their X11 property.
    gdk_set_allowed_backends("x11");
    return gtk_init_check(&argc, &argv);
}

std::string toolkitMnemonic(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            } else {
                out += '_';
            }
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

// Lets controls shrink to their template sizes and keeps the status line on the dialog's
// background, as a borderless read-only edit looks.
constexpr const char* kDialogCss =
    ".qel-dialog button { min-height: 0; min-width: 0; padding: 0 6px; }\n"
    ".qel-dialog entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".qel-dialog textview.qel-plain, .qel-dialog textview.qel-plain text {"
    " background-color: transparent; }\n";

// Installed once for every window of the program.
void installDialogStyle() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

BaseUnits measureBaseUnits(GtkWidget* widget) {
    PangoLayout* layout = gtk_widget_create_pango_layout(widget, kAverageWidthSample);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    return baseUnitsFromExtent(width, height);
}

GtkWidget* makeEdit(const ControlTemplate& control) {
    if (control.style & kStyleMultiLine) {
        GtkWidget* view = gtk_text_view_new();
        gtk_text_view_set_editable(GTK_TEXT_VIEW(view), !(control.style & kStyleReadOnly));
        gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), !(control.style & kStyleReadOnly));
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
        gtk_style_context_add_class(gtk_widget_get_style_context(view), "qel-plain");
        if (!(control.style & kStyleBorder)) return view;
        GtkWidget* frame = gtk_frame_new(nullptr);
        gtk_container_add(GTK_CONTAINER(frame), view);
        return frame;
    }
    GtkWidget* entry = gtk_entry_new();
    gtk_editable_set_editable(GTK_EDITABLE(entry), !(control.style & kStyleReadOnly));
    gtk_entry_set_has_frame(GTK_ENTRY(entry), (control.style & kStyleBorder) != 0);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    if (control.style & kStyleRightAlign) gtk_entry_set_alignment(GTK_ENTRY(entry), 1.0f);
    return entry;
}

GtkWidget* makeLabel(const std::string& text) {
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    return label;
}

GtkWidget* makeIcon(GdkPixbuf* icon, int width, int height) {
    if (!icon) return gtk_image_new();
    const int size = std::min(width, height);
    GdkPixbuf* scaled = gdk_pixbuf_scale_simple(icon, size, size, GDK_INTERP_BILINEAR);
    GtkWidget* image = gtk_image_new_from_pixbuf(scaled);
    if (scaled) g_object_unref(scaled);
    return image;
}

// The text view inside a bordered multi-line edit's frame.
GtkWidget* textTarget(GtkWidget* control) {
    if (GTK_IS_FRAME(control)) return gtk_bin_get_child(GTK_BIN(control));
    return control;
}

void applyCursor(GtkWidget* window, bool busy) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (!gdkWindow) return;
    GdkCursor* cursor =
        busy ? gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), "wait") : nullptr;
    gdk_window_set_cursor(gdkWindow, cursor);
    if (cursor) g_object_unref(cursor);
    gdk_display_flush(gdk_window_get_display(gdkWindow));
}

// A push button as the template places it.
struct PlacedButton {
    GtkWidget* widget;
    PixelRect rect;
};

// Widens buttons whose text needs more than the template gives (in a language with longer
// texts), never below the template's size. A widened button grows about its centre; buttons
// of one row keep their order, the template's margins and at least its narrowest gap, moving
// apart as needed. Returns the client width the rows need, at least `clientWidth`.
int fitButtons(std::vector<PlacedButton> buttons, int clientWidth) {
    std::sort(buttons.begin(), buttons.end(), [](const PlacedButton& a, const PlacedButton& b) {
        return a.rect.y != b.rect.y ? a.rect.y < b.rect.y : a.rect.x < b.rect.x;
    });
    int needed = clientWidth;
    for (std::size_t first = 0; first < buttons.size();) {
        std::size_t end = first;
        while (end < buttons.size() && buttons[end].rect.y == buttons[first].rect.y)
            ++end;
        std::vector<int> x, width;
        for (std::size_t i = first; i < end; ++i) {
            int minimum = 0;
            int natural = 0;
            gtk_widget_get_preferred_width(buttons[i].widget, &minimum, &natural);
            const PixelRect& r = buttons[i].rect;
            width.push_back(std::max(r.width, natural));
            x.push_back(r.x - (width.back() - r.width) / 2);
        }
        const std::size_t n = end - first;
        // The narrowest gap the template leaves between neighbours is kept between all.
        int gap = n > 1 ? clientWidth : 0;
        for (std::size_t i = first + 1; i < end; ++i) {
            const PixelRect& a = buttons[i - 1].rect;
            gap = std::min(gap, std::max(0, buttons[i].rect.x - (a.x + a.width)));
        }
        const int leftMargin = buttons[first].rect.x;
        const PixelRect& last = buttons[end - 1].rect;
        const int rightMargin = std::max(0, clientWidth - (last.x + last.width));
        // Keep clear of the left neighbour, then of the right edge, then of the left edge.
        for (std::size_t k = 0; k < n; ++k)
            x[k] = std::max(x[k], k == 0 ? leftMargin : x[k - 1] + width[k - 1] + gap);
        for (std::size_t k = n; k-- > 0;) {
            const int limit = k + 1 == n ? clientWidth - rightMargin : x[k + 1] - gap;
            x[k] = std::min(x[k], limit - width[k]);
        }
        const int shift = std::max(0, leftMargin - x[0]);  // the row is wider than the dialog
        for (std::size_t k = 0; k < n; ++k) {
            GtkWidget* widget = buttons[first + k].widget;
            gtk_fixed_move(GTK_FIXED(gtk_widget_get_parent(widget)), widget, x[k] + shift,
                           buttons[first + k].rect.y);
            gtk_widget_set_size_request(widget, width[k], buttons[first + k].rect.height);
        }
        needed = std::max(needed, x[n - 1] + shift + width[n - 1] + rightMargin);
        first = end;
    }
    return needed;
}

}  // namespace

GdkPixbuf* loadApplicationIcon() {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) return nullptr;
    GdkPixbuf* icon = nullptr;
    if (gdk_pixbuf_loader_write(loader, kLuxadorIconPng, kLuxadorIconPng_size, nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        icon = gdk_pixbuf_loader_get_pixbuf(loader);
        if (icon) g_object_ref(icon);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return icon;
}

struct TemplateWindowSignals {
    static void clicked(GtkButton* button, gpointer self) {
        const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "qel-id"));
        static_cast<TemplateWindow*>(self)->command(id);
    }
    static gboolean deleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
        static_cast<TemplateWindow*>(self)->closeRequested();
        return TRUE;
    }
    static gboolean keyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
        auto* window = static_cast<TemplateWindow*>(self);
        switch (event->keyval) {
            case GDK_KEY_Escape:
                window->command(kIdCancel);
                return TRUE;
            case GDK_KEY_Return:
            case GDK_KEY_KP_Enter:
            case GDK_KEY_ISO_Enter:
                return window->m_hasDefault ? FALSE : TRUE;
            default:
                return FALSE;
        }
    }
    static void realize(GtkWidget* widget, gpointer self) {
        if (static_cast<TemplateWindow*>(self)->m_busy) applyCursor(widget, true);
    }
    static void destroyed(GtkWidget*, gpointer self) {
        auto* window = static_cast<TemplateWindow*>(self);
        window->m_window = nullptr;
        window->m_fixed = nullptr;
        window->m_controls.clear();
    }
};

TemplateWindow::TemplateWindow(const DialogTemplate& dialog, const TextSource& text,
                               GdkPixbuf* icon) {
    build(dialog, text, icon);
}

void TemplateWindow::attachBelow(GtkWidget* widget) {
    if (!m_window || !m_fixed) return;
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    g_object_ref(m_fixed);
    gtk_container_remove(GTK_CONTAINER(m_window), m_fixed);
    gtk_box_pack_start(GTK_BOX(box), m_fixed, FALSE, FALSE, 0);
    g_object_unref(m_fixed);
    gtk_box_pack_start(GTK_BOX(box), widget, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_window), box);
    gtk_widget_show(box);
}

TemplateWindow::~TemplateWindow() {
    destroy();
}

void TemplateWindow::build(const DialogTemplate& dialog, const TextSource& text, GdkPixbuf* icon) {
    using S = TemplateWindowSignals;
    installDialogStyle();
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(m_window), "qel-dialog");
    gtk_window_set_title(GTK_WINDOW(m_window), text(dialog.captionId).c_str());
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    if (icon) gtk_window_set_icon(GTK_WINDOW(m_window), icon);
    m_units = measureBaseUnits(m_window);

    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_fixed);
    const PixelRect client = toPixels(0, 0, dialog.cx, dialog.cy, m_units);
    gtk_widget_set_size_request(m_fixed, client.width, client.height);

    GtkWidget* defaultButton = nullptr;
    std::vector<PlacedButton> buttons;
    for (const ControlTemplate& control : dialog.controls) {
        const std::string label = control.textId ? text(control.textId) : std::string();
        const PixelRect r = toPixels(control.x, control.y, control.cx, control.cy, m_units);
        GtkWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefaultPushButton:
                widget = gtk_button_new_with_mnemonic(toolkitMnemonic(label).c_str());
                g_object_set_data(G_OBJECT(widget), "qel-id", GINT_TO_POINTER(control.id));
                g_signal_connect(widget, "clicked", G_CALLBACK(S::clicked), this);
                if (control.kind == ControlKind::DefaultPushButton) defaultButton = widget;
                break;
            case ControlKind::Label:
                widget = makeLabel(label);
                break;
            case ControlKind::Edit:
                widget = makeEdit(control);
                if (!label.empty()) gtk_entry_set_text(GTK_ENTRY(widget), label.c_str());
                break;
            case ControlKind::EtchedLine:
                widget = gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
                break;
            case ControlKind::Icon:
                widget = makeIcon(icon, r.width, r.height);
                break;
        }
        gtk_widget_set_size_request(widget, r.width, r.height);
        gtk_fixed_put(GTK_FIXED(m_fixed), widget, r.x, r.y);
        if (control.id != kNoId) m_controls[control.id] = widget;
        if (GTK_IS_BUTTON(widget)) buttons.push_back({widget, r});
    }
    if (defaultButton) {
        gtk_widget_set_can_default(defaultButton, TRUE);
        gtk_window_set_default(GTK_WINDOW(m_window), defaultButton);
        m_hasDefault = true;
    }

    g_signal_connect(m_window, "delete-event", G_CALLBACK(S::deleteEvent), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(S::keyPress), this);
    g_signal_connect(m_window, "realize", G_CALLBACK(S::realize), this);
    g_signal_connect(m_window, "destroy", G_CALLBACK(S::destroyed), this);
    gtk_widget_show_all(m_fixed);
    // Hidden widgets measure nothing, so the buttons are fitted once shown.
    const int clientWidth = fitButtons(std::move(buttons), client.width);
    if (clientWidth > client.width)
        gtk_widget_set_size_request(m_fixed, clientWidth, client.height);
}

GtkWidget* TemplateWindow::control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void TemplateWindow::setText(int id, std::string_view utf8) {
    GtkWidget* widget = control(id);
    if (!widget) return;
    const std::string text(utf8);
    widget = textTarget(widget);
    if (GTK_IS_ENTRY(widget)) {
        gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
    } else if (GTK_IS_TEXT_VIEW(widget)) {
        gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), text.c_str(),
                                 static_cast<gint>(text.size()));
    } else if (GTK_IS_LABEL(widget)) {
        gtk_label_set_text(GTK_LABEL(widget), text.c_str());
    } else if (GTK_IS_BUTTON(widget)) {
        gtk_button_set_label(GTK_BUTTON(widget), toolkitMnemonic(text).c_str());
    }
}

std::string TemplateWindow::text(int id) const {
    GtkWidget* widget = control(id);
    if (!widget) return {};
    widget = textTarget(widget);
    if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
    if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
    if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
    if (GTK_IS_TEXT_VIEW(widget)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
        GtkTextIter start;
        GtkTextIter end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* chars = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
        std::string result = chars ? chars : "";
        g_free(chars);
        return result;
    }
    return {};
}

void TemplateWindow::enable(int id, bool enabled) {
    if (GtkWidget* widget = control(id)) gtk_widget_set_sensitive(widget, enabled);
}

void TemplateWindow::enableWindow(bool enabled) {
    m_enabled = enabled;
    if (m_fixed) gtk_widget_set_sensitive(m_fixed, enabled);
}

void TemplateWindow::focus(int id) {
    if (GtkWidget* widget = control(id)) gtk_widget_grab_focus(textTarget(widget));
}

void TemplateWindow::setBusyCursor(bool busy) {
    m_busy = busy;
    if (m_window) applyCursor(m_window, busy);
}

void TemplateWindow::setOwner(const TemplateWindow& owner, bool modal) {
    if (!m_window || !owner.m_window) return;
    gtk_window_set_transient_for(GTK_WINDOW(m_window), GTK_WINDOW(owner.m_window));
    gtk_window_set_destroy_with_parent(GTK_WINDOW(m_window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_modal(GTK_WINDOW(m_window), modal);
}

void TemplateWindow::show() {
    if (m_window) gtk_window_present(GTK_WINDOW(m_window));
}

void TemplateWindow::destroy() {
    if (m_window) gtk_widget_destroy(m_window);
}

void TemplateWindow::command(int id) {
    if (m_enabled && m_onCommand) m_onCommand(id);
}

void TemplateWindow::closeRequested() {
    if (m_enabled && m_onClose) m_onClose();
}

}  // namespace app::ui
