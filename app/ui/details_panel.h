// The main dialog's "Details" expander: the light's figures beyond the three results, the
// verdict for colour work, the spectrum as a plot and a button that saves it.
#ifndef APP_UI_DETAILS_PANEL_H
#define APP_UI_DETAILS_PANEL_H

#include <functional>
#include <optional>
#include <string>

#include "app/light_details.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _cairo cairo_t;

namespace app::ui {

class DetailsPanel {
public:
    using TextSource = std::function<std::string(std::uint32_t textId)>;
    // `report` shows a message (a failed save) over the main dialog.
    DetailsPanel(const TextSource& text, std::function<void(std::string_view)> report);
    DetailsPanel(const DetailsPanel&) = delete;
    DetailsPanel& operator=(const DetailsPanel&) = delete;

    // The expander, closed; its owner puts it in a window, which then owns the widgets.
    GtkWidget* widget() const { return m_expander; }
    GtkWidget* plot() const { return m_plot; }
    GtkWidget* saveButton() const { return m_save; }
    // The figures as shown, one line each.
    std::string text() const;

    // Shows the details of a measurement, or clears the panel (null).
    void show(const LightDetails* details, const Targets& targets);
    bool hasSpectrum() const { return m_details.has_value(); }

    // Draws the spectrum, 380 to 730 nm, its area filled with the colours of the wavelengths.
    static void drawSpectrum(cairo_t* cr, int width, int height, const LightDetails* details);

private:
    void save();

    TextSource m_text;
    std::function<void(std::string_view)> m_report;
    GtkWidget* m_expander = nullptr;
    GtkWidget* m_figures = nullptr;
    GtkWidget* m_plot = nullptr;
    GtkWidget* m_save = nullptr;
    std::optional<LightDetails> m_details;
    friend struct DetailsPanelSignals;
};

}  // namespace app::ui

#endif  // APP_UI_DETAILS_PANEL_H
