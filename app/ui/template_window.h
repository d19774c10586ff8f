// A top-level window built from a dialog template: controls placed in dialog units
// converted with the window font's average character size.
#ifndef APP_UI_TEMPLATE_WINDOW_H
#define APP_UI_TEMPLATE_WINDOW_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/ui/dialog_units.h"
#include "resources/dialog_templates.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GdkPixbuf GdkPixbuf;

namespace app::ui {

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Starts the toolkit on the X11 display of $DISPLAY; false when there is none.
bool openDisplay(int& argc, char**& argv);

// The application icon, or null; the caller owns the reference.
GdkPixbuf* loadApplicationIcon();

// Converts a Windows mnemonic text ("E&xit", "&&") into the toolkit's ("E_xit", "&").
std::string toolkitMnemonic(std::string_view text);

class TemplateWindow {
public:
    using TextSource = std::function<std::string(std::uint32_t textId)>;

    // Builds (but does not show) the window; `icon` may be null.
    TemplateWindow(const DialogTemplate& dialog, const TextSource& text, GdkPixbuf* icon);
    ~TemplateWindow();
    TemplateWindow(const TemplateWindow&) = delete;
    TemplateWindow& operator=(const TemplateWindow&) = delete;

    // Button clicks and keyboard commands: Esc gives kIdCancel; Enter presses the default
    // button and is ignored when the template has none.
    void onCommand(std::function<void(int id)> handler) { m_onCommand = std::move(handler); }
    // Close box or Alt+F4; the handler decides whether to destroy the window.
    void onCloseRequest(std::function<void()> handler) { m_onClose = std::move(handler); }

    bool exists() const { return m_window != nullptr; }
    GtkWidget* widget() const { return m_window; }
    GtkWidget* control(int id) const;
    BaseUnits units() const { return m_units; }

    void setText(int id, std::string_view utf8);
    std::string text(int id) const;
    void enable(int id, bool enabled);
    // Blocks input to the whole window (its children look disabled).
    void enableWindow(bool enabled);
    bool windowEnabled() const { return m_enabled; }
    void focus(int id);
    void setBusyCursor(bool busy);
    // Owned by `owner`; shown centred over it.
    void setOwner(const TemplateWindow& owner, bool modal);
    void show();
    void destroy();
    // Puts `widget` under the template's controls, which keep their places; the window then
    // owns it.
    void attachBelow(GtkWidget* widget);

private:
    void build(const DialogTemplate& dialog, const TextSource& text, GdkPixbuf* icon);
    void command(int id);
    void closeRequested();

    GtkWidget* m_window = nullptr;
    GtkWidget* m_fixed = nullptr;
    std::map<int, GtkWidget*> m_controls;
    BaseUnits m_units{1, 1};
    bool m_hasDefault = false;
    bool m_enabled = true;
    bool m_busy = false;
    std::function<void(int)> m_onCommand;
    std::function<void()> m_onClose;

    friend struct TemplateWindowSignals;
};

}  // namespace app::ui

#endif  // APP_UI_TEMPLATE_WINDOW_H
