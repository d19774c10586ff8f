// GTK 3 implementation of the user-interface operations and the main dialog's modal run.
#include "app/ui/gtk_front_end.h"

#include <gtk/gtk.h>

#include <algorithm>

#include "app/chromel_binding.h"
#include "app/measurement_value.h"
#include "app/ui/x11_activation.h"
#include "resources/dialog_templates.h"
#include "resources/string_ids.h"

namespace app::ui {
namespace {

// How often the running dialog asks whether another start wants it in front.
constexpr guint kActivationCheckMs = 250;
// Bounds one pump so that a source that is always ready cannot hold the cancel poll.
constexpr int kMaxEventsPerPump = 1000;

void quitLoop(GMainLoop* loop) {
    if (g_main_loop_is_running(loop)) g_main_loop_quit(loop);
}

}  // namespace

GtkFrontEnd::GtkFrontEnd(const Resources& resources) : m_resources(resources) {
    m_icon = loadApplicationIcon();
    if (m_icon) gtk_window_set_default_icon(m_icon);
}

GtkFrontEnd::~GtkFrontEnd() {
    m_steps.clear();
    m_main.reset();
    m_details.reset();
    if (m_icon) g_object_unref(m_icon);
}

void GtkFrontEnd::runMainDialog(CLuxadorUIDlg& dlg) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    m_main = std::make_unique<TemplateWindow>(
        mainDialogTemplate(), [this](std::uint32_t id) { return loadString(id); }, m_icon);
    m_main->onCommand([&dlg, loop](int id) {
        switch (id) {
            case static_cast<int>(Control::StartMeasurement):
                dlg.onStartMeasurement();
                break;
            case static_cast<int>(Control::About):
                dlg.onAbout();
                break;
            case kIdOk:
            case kIdCancel:
                quitLoop(loop);
                break;
            default:
                break;
        }
    });
    m_main->onCloseRequest([loop] { quitLoop(loop); });
    m_details = std::make_unique<DetailsPanel>([this](std::uint32_t id) { return loadString(id); },
                                               [this](std::string_view text) { messageBox(text); });
    m_main->attachBelow(m_details->widget());
    gtk_window_set_position(GTK_WINDOW(m_main->widget()), GTK_WIN_POS_CENTER);
    gtk_widget_realize(m_main->widget());
    dlg.onInitDialog();
    m_main->show();

    struct Check {
        GtkFrontEnd* self;
        CLuxadorUIDlg* dlg;
    } check{this, &dlg};
    const guint timer = g_timeout_add(
        kActivationCheckMs,
        [](gpointer data) -> gboolean {
            auto* c = static_cast<Check*>(data);
            if (c->dlg->activationRequested()) c->self->bringToFront();
            return G_SOURCE_CONTINUE;
        },
        &check);

    g_main_loop_run(loop);

    g_source_remove(timer);
    dlg.onDestroy();
    m_steps.clear();
    m_popups.clear();
    m_main.reset();
    m_details.reset();
    g_main_loop_unref(loop);
    pumpMessages();
}

void GtkFrontEnd::setText(Control control, std::string_view text) {
    if (m_main) m_main->setText(static_cast<int>(control), text);
}

void GtkFrontEnd::enable(Control control, bool enabled) {
    if (!m_main) return;
    if (control == Control::MainWindow) {
        m_main->enableWindow(enabled);
    } else {
        m_main->enable(static_cast<int>(control), enabled);
    }
}

void GtkFrontEnd::setFocus(Control control) {
    if (m_main) m_main->focus(static_cast<int>(control));
}

std::string GtkFrontEnd::loadString(std::uint32_t id) {
    return m_resources.text(id);
}

void GtkFrontEnd::messageBox(std::string_view text) {
    GtkWindow* owner = m_main && m_main->exists() ? GTK_WINDOW(m_main->widget()) : nullptr;
    const std::string message(text);
    GtkWidget* box = gtk_message_dialog_new(
        owner, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), m_resources.title().c_str());
    m_popups.push_back(box);
    gtk_dialog_run(GTK_DIALOG(box));
    std::erase(m_popups, box);
    gtk_widget_destroy(box);
}

void GtkFrontEnd::beginWaitCursor() {
    if (++m_waitCount == 1) applyWaitCursor(true);
}

void GtkFrontEnd::endWaitCursor() {
    if (m_waitCount > 0 && --m_waitCount == 0) applyWaitCursor(false);
}

void GtkFrontEnd::applyWaitCursor(bool busy) {
    if (m_main) m_main->setBusyCursor(busy);
    for (auto& [step, window] : m_steps)
        window->setBusyCursor(busy);
}

void GtkFrontEnd::repaint() {
    if (!m_main || !m_main->exists()) return;
    gtk_widget_queue_draw(m_main->widget());
    pumpMessages();
}

void GtkFrontEnd::pumpMessages() {
    for (int i = 0; i < kMaxEventsPerPump && gtk_events_pending(); ++i)
        gtk_main_iteration_do(FALSE);
}

void GtkFrontEnd::setProperty(std::string_view name, std::intptr_t value) {
    if (m_main) setWindowMark(m_main->widget(), name, static_cast<long>(value));
}

void GtkFrontEnd::removeProperty(std::string_view name) {
    if (m_main) removeWindowMark(m_main->widget(), name);
}

TemplateWindow* GtkFrontEnd::stepWindow(const CWaitButton& step) const {
    const auto it = m_steps.find(&step);
    return it == m_steps.end() ? nullptr : it->second.get();
}

bool GtkFrontEnd::createStep(CWaitButton& step) {
    if (!m_main || !m_main->exists()) return false;
    auto window = std::make_unique<TemplateWindow>(
        stepDialogTemplate(), [this](std::uint32_t id) { return loadString(id); }, m_icon);
    if (!window->exists()) return false;
    window->setOwner(*m_main, false);
    TemplateWindow* raw = window.get();
    window->onCommand([&step](int id) {
        if (id == kIdCancel) step.onCancel();
    });
    window->onCloseRequest([this, &step, raw] {
        step.onClose();
        std::erase(m_popups, raw->widget());
        raw->destroy();
        activateMain();
    });
    window->setBusyCursor(m_waitCount > 0);
    m_steps[&step] = std::move(window);
    return true;
}

void GtkFrontEnd::setStepText(CWaitButton& step, std::string_view text) {
    if (TemplateWindow* window = stepWindow(step))
        window->setText(static_cast<int>(Control::StepText), text);
}

void GtkFrontEnd::centreStep(CWaitButton& step) {
    TemplateWindow* window = stepWindow(step);
    if (window && window->exists())
        gtk_window_set_position(GTK_WINDOW(window->widget()), GTK_WIN_POS_CENTER_ON_PARENT);
}

void GtkFrontEnd::showStep(CWaitButton& step) {
    TemplateWindow* window = stepWindow(step);
    if (!window || !window->exists()) return;
    m_popups.push_back(window->widget());
    window->show();
}

bool GtkFrontEnd::stepExists(const CWaitButton& step) {
    const TemplateWindow* window = stepWindow(step);
    return window && window->exists();
}

void GtkFrontEnd::closeStep(CWaitButton& step) {
    TemplateWindow* window = stepWindow(step);
    if (!window || !window->exists()) return;
    step.onClose();
    std::erase(m_popups, window->widget());
    window->destroy();
    activateMain();
}

void GtkFrontEnd::destroyStep(CWaitButton& step) {
    const auto it = m_steps.find(&step);
    if (it == m_steps.end()) return;
    const bool existed = it->second->exists();
    if (existed) std::erase(m_popups, it->second->widget());
    m_steps.erase(it);
    if (existed) activateMain();
}

void GtkFrontEnd::activateMain() {
    // As a dialog's owner takes the focus back when the dialog goes.
    if (m_main && m_main->exists() && m_popups.empty())
        gtk_window_present(GTK_WINDOW(m_main->widget()));
}

void GtkFrontEnd::showAbout(const AboutBox& about) {
    if (!m_main || !m_main->exists()) return;
    TemplateWindow window(
        aboutDialogTemplate(),
        [&about](std::uint32_t id) -> std::string {
            switch (id) {
                case ids::kAboutCaption:
                    return about.caption;
                case ids::kAboutProduct:
                    return about.product;
                case ids::kAboutVersion:
                    return about.version;
                case ids::kAboutOk:
                    return about.ok;
                default:
                    return {};
            }
        },
        m_icon);
    window.setOwner(*m_main, true);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    window.onCommand([loop](int id) {
        if (id == kIdOk || id == kIdCancel) quitLoop(loop);
    });
    window.onCloseRequest([loop] { quitLoop(loop); });
    // The main dialog's end also ends this loop.
    const gulong destroyed =
        g_signal_connect_swapped(window.widget(), "destroy", G_CALLBACK(g_main_loop_quit), loop);
    m_popups.push_back(window.widget());
    window.show();
    g_main_loop_run(loop);
    if (window.exists()) {
        g_signal_handler_disconnect(window.widget(), destroyed);
        std::erase(m_popups, window.widget());
    }
    window.destroy();
    g_main_loop_unref(loop);
}

void GtkFrontEnd::showDetails(const orvel_kepno_ambientlib::MeasurementValue* value) {
    if (!m_details) return;
    Targets targets = defaultTargets();
    if (value == nullptr) {
        m_details->show(nullptr, targets);
        return;
    }
    const auto& chromel = orvel_kepno_ambientlib::CHROMEL::Instance();
    SpectrumRecord spectrum;
    value->GetSpectrum(spectrum);
    const LightDetails details = ComputeLightDetails(spectrum, value->GetIlluminance(), chromel);
    locateWhite(targets, chromel);
    m_details->show(&details, targets);
}

void GtkFrontEnd::bringToFront() {
    if (!m_main || !m_main->exists()) return;
    GtkWindow* main = GTK_WINDOW(m_main->widget());
    gtk_window_deiconify(main);
    GtkWidget* target = m_popups.empty() ? m_main->widget() : m_popups.back();
    gtk_window_present(GTK_WINDOW(target));
}

}  // namespace app::ui
