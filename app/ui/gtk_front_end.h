// The desktop front-end: the main, step and about dialogs and message boxes on GTK 3.
#ifndef APP_UI_GTK_FRONT_END_H
#define APP_UI_GTK_FRONT_END_H

#include <map>
#include <memory>
#include <vector>

#include "app/resources.h"
#include "app/ui/details_panel.h"
#include "app/ui/template_window.h"
#include "app/workflow.h"

typedef struct _GdkPixbuf GdkPixbuf;

namespace app::ui {

class GtkFrontEnd final : public FrontEnd {
public:
    // Texts and the message-box caption come from `resources`. Needs openDisplay().
    explicit GtkFrontEnd(const Resources& resources);
    ~GtkFrontEnd() override;
    GtkFrontEnd(const GtkFrontEnd&) = delete;
    GtkFrontEnd& operator=(const GtkFrontEnd&) = delete;

    void runMainDialog(CLuxadorUIDlg& dlg) override;

    void setText(Control control, std::string_view text) override;
    void enable(Control control, bool enabled) override;
    void setFocus(Control control) override;
    std::string loadString(std::uint32_t id) override;
    void messageBox(std::string_view text) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void repaint() override;
    void pumpMessages() override;
    void setProperty(std::string_view name, std::intptr_t value) override;
    void removeProperty(std::string_view name) override;

    bool createStep(CWaitButton& step) override;
    void setStepText(CWaitButton& step, std::string_view text) override;
    void centreStep(CWaitButton& step) override;
    void showStep(CWaitButton& step) override;
    bool stepExists(const CWaitButton& step) override;
    void closeStep(CWaitButton& step) override;
    void destroyStep(CWaitButton& step) override;

    void showAbout(const AboutBox& about) override;
    void showDetails(const orvel_kepno_ambientlib::MeasurementValue* value) override;

    // The main dialog while runMainDialog() runs, else null.
    TemplateWindow* mainWindow() const { return m_main.get(); }

    // The window of a step dialog, or null.
    TemplateWindow* stepWindow(const CWaitButton& step) const;
    // The main dialog's "Details" expander while runMainDialog() runs, else null.
    DetailsPanel* detailsPanel() const { return m_details.get(); }

private:
    void applyWaitCursor(bool busy);
    void activateMain();
    // Restores the main dialog and brings its topmost popup to the front.
    void bringToFront();

    const Resources& m_resources;
    GdkPixbuf* m_icon = nullptr;
    std::unique_ptr<TemplateWindow> m_main;
    // Declared after m_main: its widgets live in the main window, which goes first.
    std::unique_ptr<DetailsPanel> m_details;
    std::map<const CWaitButton*, std::unique_ptr<TemplateWindow>> m_steps;
    std::vector<GtkWidget*> m_popups;  // open dialogs owned by the main one, oldest first
    int m_waitCount = 0;
};

}  // namespace app::ui

#endif  // APP_UI_GTK_FRONT_END_H
