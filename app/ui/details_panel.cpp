// The "Details" expander of the main dialog.
#include "app/ui/details_panel.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "app/ui/template_window.h"
#include "resources/string_ids.h"

namespace app::ui {
namespace {

constexpr double kFirstNm = 380.0;
constexpr double kLastNm = 730.0;
constexpr int kPlotWidth = 360;
constexpr int kPlotHeight = 150;
constexpr int kMargin = 24;  // room for the axis labels

// Approximate display colour of a wavelength (after Bruton's piecewise-linear rule), dimmed
// toward both ends of the visible range.
std::array<double, 3> wavelengthColour(double nm) {
    double r = 0.0, g = 0.0, b = 0.0;
    if (nm < 440.0) {
        r = (440.0 - nm) / 60.0, b = 1.0;
    } else if (nm < 490.0) {
        g = (nm - 440.0) / 50.0, b = 1.0;
    } else if (nm < 510.0) {
        g = 1.0, b = (510.0 - nm) / 20.0;
    } else if (nm < 580.0) {
        r = (nm - 510.0) / 70.0, g = 1.0;
    } else if (nm < 645.0) {
        r = 1.0, g = (645.0 - nm) / 65.0;
    } else {
        r = 1.0;
    }
    const double fade = nm < 420.0   ? 0.3 + 0.7 * (nm - 380.0) / 40.0
                        : nm > 700.0 ? 0.3 + 0.7 * (780.0 - nm) / 80.0
                                     : 1.0;
    return {std::clamp(r, 0.0, 1.0) * fade, std::clamp(g, 0.0, 1.0) * fade,
            std::clamp(b, 0.0, 1.0) * fade};
}

// The spectrum's value at `nm` by linear interpolation; 0 outside its samples.
double valueAt(const SpectrumRecord& s, double nm) {
    const std::uint32_t n = std::min<std::uint32_t>(s.count, QEL_SPECTRUM_SLOTS);
    if (n == 0 || s.interval == 0) return 0.0;
    const double pos = (nm - s.start) / s.interval;
    if (pos < 0.0 || pos > n - 1) return 0.0;
    const auto i = static_cast<std::uint32_t>(pos);
    if (i + 1 >= n) return s.values[n - 1];
    const double t = pos - i;
    return s.values[i] * (1.0 - t) + s.values[i + 1] * t;
}

}  // namespace

struct DetailsPanelSignals {
    static gboolean draw(GtkWidget* widget, cairo_t* cr, gpointer self) {
        const auto* panel = static_cast<DetailsPanel*>(self);
        DetailsPanel::drawSpectrum(cr, gtk_widget_get_allocated_width(widget),
                                   gtk_widget_get_allocated_height(widget),
                                   panel->m_details ? &*panel->m_details : nullptr);
        return FALSE;
    }
    static void save(GtkButton*, gpointer self) { static_cast<DetailsPanel*>(self)->save(); }
};

DetailsPanel::DetailsPanel(const TextSource& text, std::function<void(std::string_view)> report)
    : m_text(text), m_report(std::move(report)) {
    m_expander = gtk_expander_new(m_text(ids::kDetailsExpander).c_str());
    gtk_expander_set_expanded(GTK_EXPANDER(m_expander), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(m_expander), 8);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);
    m_figures = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(m_figures), 0.0f);
    gtk_label_set_selectable(GTK_LABEL(m_figures), TRUE);
    m_plot = gtk_drawing_area_new();
    gtk_widget_set_size_request(m_plot, kPlotWidth + 2 * kMargin, kPlotHeight + kMargin);
    g_signal_connect(m_plot, "draw", G_CALLBACK(DetailsPanelSignals::draw), this);
    m_save = gtk_button_new_with_label(m_text(ids::kDetailsSave).c_str());
    gtk_widget_set_halign(m_save, GTK_ALIGN_END);
    gtk_widget_set_sensitive(m_save, FALSE);
    g_signal_connect(m_save, "clicked", G_CALLBACK(DetailsPanelSignals::save), this);
    gtk_box_pack_start(GTK_BOX(box), m_figures, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), m_plot, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), m_save, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_expander), box);
    gtk_widget_show_all(m_expander);
}

std::string DetailsPanel::text() const {
    return gtk_label_get_text(GTK_LABEL(m_figures));
}

void DetailsPanel::show(const LightDetails* details, const Targets& targets) {
    m_details.reset();
    std::string lines;
    if (details != nullptr) {
        m_details = *details;
        for (const std::string& line : detailLines(*details, targets, m_text))
            lines += (lines.empty() ? "" : "\n") + line;
    }
    gtk_label_set_text(GTK_LABEL(m_figures), lines.c_str());
    gtk_widget_set_sensitive(m_save, m_details.has_value());
    gtk_widget_queue_draw(m_plot);
}

void DetailsPanel::drawSpectrum(cairo_t* cr, int width, int height, const LightDetails* details) {
    const double left = kMargin, right = width - kMargin, top = 4, bottom = height - kMargin;
    if (right <= left || bottom <= top) return;
    auto xOf = [&](double nm) {
        return left + (nm - kFirstNm) / (kLastNm - kFirstNm) * (right - left);
    };

    double peak = 0.0;
    if (details != nullptr)
        for (double nm = kFirstNm; nm <= kLastNm; nm += 1.0)
            peak = std::max(peak, valueAt(details->spectrum, nm));
    if (peak > 0.0 && std::isfinite(peak)) {
        // One vertical stroke per pixel column, in the colour of its wavelength.
        for (int x = static_cast<int>(left); x < static_cast<int>(right); ++x) {
            const double nm = kFirstNm + (x + 0.5 - left) / (right - left) * (kLastNm - kFirstNm);
            const double v = std::max(0.0, valueAt(details->spectrum, nm)) / peak;
            const auto [r, g, b] = wavelengthColour(nm);
            cairo_set_source_rgb(cr, r, g, b);
            cairo_rectangle(cr, x, bottom - v * (bottom - top), 1, v * (bottom - top));
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        cairo_set_line_width(cr, 1.5);
        for (double nm = kFirstNm; nm <= kLastNm; nm += 1.0) {
            const double y =
                bottom - std::max(0.0, valueAt(details->spectrum, nm)) / peak * (bottom - top);
            if (nm == kFirstNm)
                cairo_move_to(cr, xOf(nm), y);
            else
                cairo_line_to(cr, xOf(nm), y);
        }
        cairo_stroke(cr);
    }
    // Wavelength axis with a tick and label every 50 nm.
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_set_line_width(cr, 1.0);
    cairo_move_to(cr, left, bottom + 0.5);
    cairo_line_to(cr, right, bottom + 0.5);
    cairo_stroke(cr);
    cairo_set_font_size(cr, 10.0);
    for (int nm = 400; nm <= 700; nm += 50) {
        const double x = std::round(xOf(nm)) + 0.5;
        cairo_move_to(cr, x, bottom);
        cairo_line_to(cr, x, bottom + 4);
        cairo_stroke(cr);
        const std::string label = std::to_string(nm) + (nm == 700 ? " nm" : "");
        cairo_text_extents_t extents;
        cairo_text_extents(cr, label.c_str(), &extents);
        cairo_move_to(cr, x - extents.width / 2, bottom + 16);
        cairo_show_text(cr, label.c_str());
    }
}

void DetailsPanel::save() {
    if (!m_details) return;
    GtkWidget* top = gtk_widget_get_toplevel(m_expander);
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        m_text(ids::kDetailsSave).c_str(), GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT,
        nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "spectrum.csv");
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = chosen;
            g_free(chosen);
        }
    }
    gtk_widget_destroy(chooser);
    std::string error;
    if (!path.empty() && !writeSpectrumCsv(path, m_details->spectrum, error))
        m_report(m_text(ids::kDetailsSaveFailed));
}

}  // namespace app::ui
