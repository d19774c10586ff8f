// The main dialog on GTK with the real workflow, instrument library and simulated EyeOne,
// driven by real pointer clicks on a private X server.
#include <gtk/gtk.h>

#include <cstdlib>
#include <set>

#include "app/startup.h"
#include "app/ui/gtk_front_end.h"
#include "app/ui/x11_activation.h"
#include "app/workflow.h"
#include "gui_fixture.h"
#include "platform/utf8.h"
#include "resources/string_ids.h"

namespace app::ui {
namespace {

using gui_test::GuiTest;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Repeats `tick` every 20 ms while the dialog runs, nested loops included.
class Observer {
public:
    explicit Observer(std::function<void()> tick) : m_tick(std::move(tick)) {
        m_source = g_timeout_add(20, &Observer::fire, this);
    }
    ~Observer() { g_source_remove(m_source); }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

private:
    static gboolean fire(gpointer self) {
        auto* observer = static_cast<Observer*>(self);
        if (!observer->m_busy) {  // the tick itself may pump
            observer->m_busy = true;
            observer->m_tick();
            observer->m_busy = false;
        }
        return G_SOURCE_CONTINUE;
    }
    std::function<void()> m_tick;
    guint m_source = 0;
    bool m_busy = false;
};

class FrontEndTest : public GuiTest {
protected:
    // The simulated instrument is configured before the first measurement loads it.
    static void simulate(const char* button) {
        setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
        setenv("QEL_SIM_EYEONE_BUTTON", button, 1);
        setenv("QEL_SIM_EYEONE_SOURCE", "D65", 1);
        setenv("QEL_SIM_EYEONE_LUX", "500", 1);
    }

    // Runs the main dialog; `script` runs inside its loop and the dialog closes after it.
    void run(const Resources& resources, const std::function<void()>& script) {
        GtkFrontEnd front(resources);
        CLuxadorUIDlg dlg(front);
        m_front = &front;
        m_dlg = &dlg;
        struct Job {
            const std::function<void()>* script;
            GtkFrontEnd* front;
        } job{&script, &front};
        g_idle_add(
            [](gpointer data) -> gboolean {
                auto* j = static_cast<Job*>(data);
                (*j->script)();
                if (TemplateWindow* main = j->front->mainWindow(); main && main->exists()) {
                    main->enableWindow(true);
                    gtk_window_close(GTK_WINDOW(main->widget()));
                }
                return G_SOURCE_REMOVE;
            },
            &job);
        front.runMainDialog(dlg);
        m_front = nullptr;
        m_dlg = nullptr;
    }

    TemplateWindow& main() { return *m_front->mainWindow(); }
    std::string field(Control id) { return main().text(static_cast<int>(id)); }
    bool idle() {
        GtkWidget* start = main().control(static_cast<int>(Control::StartMeasurement));
        return m_dlg->step() == nullptr && gtk_widget_get_sensitive(start) &&
               main().windowEnabled();
    }
    // The main dialog has the keyboard focus and draws itself as the active window.
    bool focused() {
        GtkWidget* window = main().widget();
        return hasInputFocus(window) && gtk_window_is_active(GTK_WINDOW(window)) &&
               (gdk_window_get_state(gtk_widget_get_window(window)) & GDK_WINDOW_STATE_FOCUSED);
    }
    void waitUntilShown() {
        ASSERT_TRUE(pumpUntil([&] { return viewable(main().widget()); }));
    }
    // Clicks Start Measurement and waits for the dialog to be usable again.
    void measure(const std::function<void()>& duringRun = {}) {
        std::set<std::string> seen;
        Observer observer([&] {
            if (CWaitButton* step = m_dlg->step()) {
                if (TemplateWindow* window = m_front->stepWindow(*step);
                    window && window->exists()) {
                    seen.insert(window->text(static_cast<int>(Control::StepText)));
                    if (!m_stepShot.empty() && viewable(window->widget())) {
                        screenshot(window->widget(), m_stepShot);
                        m_stepShot.clear();
                    }
                }
            }
            if (duringRun) duringRun();
        });
        click(main().control(static_cast<int>(Control::StartMeasurement)));
        const bool started = pumpUntil([&] { return !seen.empty(); }, seconds(10));
        const bool ended = pumpUntil([&] { return idle(); }, seconds(60));
        m_stepsSeen = seen;
        ASSERT_TRUE(started) << "no step dialog appeared";
        ASSERT_TRUE(ended);
    }

    GtkFrontEnd* m_front = nullptr;
    CLuxadorUIDlg* m_dlg = nullptr;
    std::set<std::string> m_stepsSeen;
    std::string m_stepShot;  // name of a screenshot of the first step dialog shown, if wanted
};

TEST_F(FrontEndTest, OpensTitledLuxadorWithEmptyFieldsReadyStatusAndTheMark) {
    const Resources resources;
    run(resources, [&] {
        waitUntilShown();
        const std::string id = std::to_string(xid(main().widget()));
        EXPECT_EQ(gui_test::run({"xdotool", "getwindowname", id}).out, "Luxador");
        EXPECT_EQ(field(Control::SourceType), "");
        EXPECT_EQ(field(Control::ColorTemperature), "");
        EXPECT_EQ(field(Control::Illuminance), "");
        EXPECT_EQ(field(Control::Status), resources.text(ids::kReady));
        EXPECT_EQ(gui_test::run({"xprop", "-id", id, "Luxador"}).out, "Luxador(CARDINAL) = 1");
    });
}

TEST_F(FrontEndTest, ClickingStartMeasurementRunsBothStepsAndFillsTheFields) {
    simulate("150");
    const Resources resources;
    m_stepShot = "step_en";
    run(resources, [&] {
        waitUntilShown();
        measure();
        EXPECT_EQ(m_stepsSeen, (std::set<std::string>{resources.text(ids::kStepCalibration),
                                                      resources.text(ids::kStepMeasurement)}));
        EXPECT_EQ(field(Control::ColorTemperature), "6500");
        EXPECT_EQ(field(Control::Illuminance), "500");
        const std::string status = field(Control::Status);
        const std::string type = field(Control::SourceType);
        if (status == resources.text(ids::kUnusable)) {
            EXPECT_EQ(type, resources.text(ids::kIncompatible));
        } else {
            EXPECT_EQ(status, resources.text(ids::kComplete));
            EXPECT_TRUE(type == resources.text(ids::kHighColorRenderingType) ||
                        type == resources.text(ids::kThreeBandType) ||
                        type == resources.text(ids::kNormalType))
                << type;
        }
        EXPECT_TRUE(
            gtk_widget_has_focus(main().control(static_cast<int>(Control::StartMeasurement))));
        // The main dialog takes the focus back from the closed step dialog.
        EXPECT_TRUE(pumpUntil([&] { return focused(); }, seconds(5)));
        EXPECT_FALSE(screenshot(main().widget(), "main_en").empty());
    });
}

TEST_F(FrontEndTest, CancelDuringStepOneLeavesTheFieldsEmptyWithoutAMessage) {
    simulate("never");
    const Resources resources;
    int messageBoxes = 0;
    bool cancelled = false;
    run(resources, [&] {
        waitUntilShown();
        measure([&] {
            for (GList* l = gtk_window_list_toplevels(); l; l = g_list_delete_link(l, l)) {
                if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) {
                    ++messageBoxes;
                    gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_OK);
                }
            }
            CWaitButton* step = m_dlg->step();
            TemplateWindow* window = step ? m_front->stepWindow(*step) : nullptr;
            if (!cancelled && window && viewable(window->widget())) {
                cancelled = true;
                click(window->control(2));
            }
        });
        EXPECT_TRUE(cancelled);
        EXPECT_EQ(m_stepsSeen, std::set<std::string>{resources.text(ids::kStepCalibration)});
        EXPECT_EQ(field(Control::SourceType), "");
        EXPECT_EQ(field(Control::ColorTemperature), "");
        EXPECT_EQ(field(Control::Illuminance), "");
        EXPECT_EQ(field(Control::Status), resources.text(ids::kReady));
    });
    EXPECT_EQ(messageBoxes, 0);
}

TEST_F(FrontEndTest, JapaneseModuleTranslatesTheWindowAndItsTitle) {
    simulate("150");
    const auto directory = platform::fromUtf8(LANGUAGE_MODULE_DIR);
    ASSERT_TRUE(directory);
    const Resources resources = selectResources(kJapanese, directory->c_str());
    ASSERT_TRUE(resources.fromModule());
    run(resources, [&] {
        waitUntilShown();
        const std::string title = resources.text(ids::kMainCaption);
        EXPECT_NE(title, "Luxador");
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main().widget())), title.c_str());
        EXPECT_EQ(main().text(static_cast<int>(Control::StartMeasurement)),
                  toolkitMnemonic(resources.text(ids::kMainStart)));
        measure();
        EXPECT_EQ(field(Control::ColorTemperature), "6500");
        EXPECT_EQ(field(Control::Illuminance), "500");
        EXPECT_TRUE(pumpUntil([&] { return focused(); }, seconds(5)));
        EXPECT_FALSE(screenshot(main().widget(), "main_ja").empty());
    });
}

TEST_F(FrontEndTest, DetailsStayClosedUntilOpenedThenShowTheLightAndItsSpectrum) {
    simulate("150");
    const auto directory = platform::fromUtf8(LANGUAGE_MODULE_DIR);
    ASSERT_TRUE(directory);
    for (const char* language : {"en", "ja"}) {
        SCOPED_TRACE(language);
        const Resources resources = std::string_view(language) == "en"
                                        ? Resources()
                                        : selectResources(kJapanese, directory->c_str());
        run(resources, [&] {
            waitUntilShown();
            DetailsPanel* panel = m_front->detailsPanel();
            ASSERT_NE(panel, nullptr);
            GtkWidget* expander = panel->widget();
            EXPECT_FALSE(gtk_expander_get_expanded(GTK_EXPANDER(expander)));
            // Closed, it takes one line's height: no figures, no plot.
            EXPECT_LT(gtk_widget_get_allocated_height(expander), 60);
            // The dialog's controls keep their template places, the expander below them all.
            GtkAllocation below;
            gtk_widget_get_allocation(expander, &below);
            for (const ControlTemplate& c : mainDialogTemplate().controls) {
                if (c.id == kNoId) continue;
                const PixelRect r = toPixels(c.x, c.y, c.cx, c.cy, main().units());
                GtkAllocation a;
                gtk_widget_get_allocation(main().control(c.id), &a);
                // Push buttons are widened to their labels, in their row.
                if (!GTK_IS_BUTTON(main().control(c.id))) {
                    EXPECT_EQ(a.x, r.x) << c.id;
                }
                EXPECT_EQ(a.y, r.y) << c.id;
                EXPECT_GE(below.y, r.y + r.height) << c.id;
            }
            measure();
            gtk_expander_set_expanded(GTK_EXPANDER(expander), TRUE);
            // The window grows to hold the open expander, down to its Save button.
            ASSERT_TRUE(pumpUntil([&] {
                GtkAllocation save;
                gtk_widget_get_allocation(panel->saveButton(), &save);
                return gtk_widget_get_mapped(panel->saveButton()) &&
                       gtk_widget_get_allocated_height(panel->plot()) > 100 &&
                       save.y + save.height <= gtk_widget_get_allocated_height(main().widget());
            }));
            const std::string text = panel->text();
            for (std::uint32_t id :
                 {ids::kDetailsTemperature, ids::kDetailsRendering, ids::kDetailsVerdict})
                EXPECT_NE(text.find(resources.text(id)), std::string::npos) << text;
            EXPECT_NE(text.find(", R9 "), std::string::npos) << text;
            EXPECT_TRUE(panel->hasSpectrum());
            EXPECT_TRUE(gtk_widget_get_sensitive(panel->saveButton()));
            // Grown downwards from the centre, the window is moved to show it whole.
            gtk_window_move(GTK_WINDOW(main().widget()), 0, 0);
            pumpUntil([] { return false; }, milliseconds(500));
            EXPECT_FALSE(screenshot(main().widget(), std::string("details_") + language).empty());
        });
    }
}

TEST_F(FrontEndTest, WaitCursorIsCountedAndCoversStepDialogs) {
    const Resources resources;
    run(resources, [&] {
        waitUntilShown();
        GdkWindow* window = gtk_widget_get_window(main().widget());
        ASSERT_EQ(gdk_window_get_cursor(window), nullptr);
        m_front->beginWaitCursor();
        m_front->beginWaitCursor();
        ASSERT_NE(gdk_window_get_cursor(window), nullptr);
        CWaitButton step;
        ASSERT_TRUE(m_front->createStep(step));
        m_front->showStep(step);
        GtkWidget* stepWidget = m_front->stepWindow(step)->widget();
        ASSERT_TRUE(pumpUntil([&] { return viewable(stepWidget); }));
        EXPECT_NE(gdk_window_get_cursor(gtk_widget_get_window(stepWidget)), nullptr);
        m_front->endWaitCursor();
        EXPECT_NE(gdk_window_get_cursor(window), nullptr) << "one begin is still open";
        m_front->endWaitCursor();
        EXPECT_EQ(gdk_window_get_cursor(window), nullptr);
        EXPECT_EQ(gdk_window_get_cursor(gtk_widget_get_window(stepWidget)), nullptr);
        m_front->endWaitCursor();  // unbalanced ends do not go below zero
        m_front->beginWaitCursor();
        EXPECT_NE(gdk_window_get_cursor(window), nullptr);
        m_front->endWaitCursor();
        m_front->closeStep(step);
        EXPECT_TRUE(step.cancelled());
        EXPECT_FALSE(m_front->stepExists(step));
        m_front->destroyStep(step);
    });
}

TEST_F(FrontEndTest, StepCloseBoxCancelsAndDestroysTheWindowButNotTheObject) {
    const Resources resources;
    run(resources, [&] {
        waitUntilShown();
        CWaitButton step;
        ASSERT_TRUE(m_front->createStep(step));
        m_front->setStepText(step, "Step text");
        m_front->centreStep(step);
        m_front->showStep(step);
        TemplateWindow* window = m_front->stepWindow(step);
        ASSERT_TRUE(pumpUntil([&] { return viewable(window->widget()); }));
        EXPECT_EQ(window->text(static_cast<int>(Control::StepText)), "Step text");
        // Centred over the main dialog.
        auto centre = [](GtkWidget* w) {
            int x = 0, y = 0;
            gdk_window_get_origin(gtk_widget_get_window(w), &x, &y);
            return std::pair{x + gtk_widget_get_allocated_width(w) / 2,
                             y + gtk_widget_get_allocated_height(w) / 2};
        };
        const auto [stepX, stepY] = centre(window->widget());
        const auto [mainX, mainY] = centre(main().widget());
        EXPECT_NEAR(stepX, mainX, 2);
        EXPECT_NEAR(stepY, mainY, 2);
        gtk_window_close(GTK_WINDOW(window->widget()));
        ASSERT_TRUE(pumpUntil([&] { return !m_front->stepExists(step); }));
        EXPECT_TRUE(step.cancelled());
        m_front->destroyStep(step);
        EXPECT_EQ(m_front->stepWindow(step), nullptr);
    });
}

TEST_F(FrontEndTest, MissingInstrumentLibraryShowsAMessageCaptionedWithTheTitle) {
    // No simulator on the module path: the vendor library cannot be loaded.
    setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    const Resources resources;
    std::string caption;
    std::string message;
    run(resources, [&] {
        waitUntilShown();
        Observer observer([&] {
            for (GList* l = gtk_window_list_toplevels(); l; l = g_list_delete_link(l, l)) {
                if (!GTK_IS_MESSAGE_DIALOG(l->data) || !viewable(GTK_WIDGET(l->data))) continue;
                caption = gtk_window_get_title(GTK_WINDOW(l->data));
                gchar* text = nullptr;
                g_object_get(l->data, "text", &text, nullptr);
                message = text ? text : "";
                g_free(text);
                gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_OK);
            }
        });
        click(main().control(static_cast<int>(Control::StartMeasurement)));
        ASSERT_TRUE(pumpUntil([&] { return !message.empty(); }, seconds(20)));
        ASSERT_TRUE(pumpUntil([&] { return idle(); }));
        EXPECT_EQ(field(Control::Status), resources.text(ids::kReady));
        EXPECT_EQ(field(Control::ColorTemperature), "");
    });
    EXPECT_EQ(caption, "Luxador");
    EXPECT_TRUE(message == resources.text(ids::kNoCommunication) ||
                message == resources.text(ids::kNoSensor))
        << message;
}

TEST_F(FrontEndTest, MarkedWindowIsRestoredAndRaisedAboveOthers) {
    const Resources resources;
    run(resources, [&] {
        waitUntilShown();
        gui_test::run({"xdotool", "windowunmap", "--sync", std::to_string(xid(main().widget()))});
        GtkWidget* other = showCoveringWindow();
        ASSERT_FALSE(viewable(main().widget()));

        EXPECT_TRUE(activateMarkedWindow("Luxador"));
        EXPECT_TRUE(pumpUntil([&] { return viewable(main().widget()); }));
        EXPECT_TRUE(stackedAbove(main().widget(), other));
        EXPECT_TRUE(hasInputFocus(main().widget()));
        EXPECT_FALSE(activateMarkedWindow("NoSuchMark"));
        gtk_widget_destroy(other);
    });
}

TEST_F(FrontEndTest, ActivationBringsTheOpenAboutDialogToTheFront) {
    const Resources resources;
    run(resources, [&] {
        waitUntilShown();
        GtkWidget* other = nullptr;
        bool checked = false;
        Observer observer([&] {
            GtkWidget* about = nullptr;
            for (GList* l = gtk_window_list_toplevels(); l; l = g_list_delete_link(l, l)) {
                const char* title = gtk_window_get_title(GTK_WINDOW(l->data));
                if (title && resources.text(ids::kAboutCaption) == title)
                    about = GTK_WIDGET(l->data);
            }
            if (checked || !about || !viewable(about)) return;
            checked = true;
            other = showCoveringWindow();
            EXPECT_TRUE(stackedAbove(other, about));
            EXPECT_TRUE(activateMarkedWindow("Luxador"));
            pump();
            EXPECT_TRUE(stackedAbove(about, other));
            EXPECT_TRUE(hasInputFocus(about));
            EXPECT_FALSE(screenshot(about, "about_en").empty());
            key(about, "Escape");
        });
        click(main().control(static_cast<int>(Control::About)));
        EXPECT_TRUE(pumpUntil([&] { return checked; }));
        if (other) gtk_widget_destroy(other);
    });
}

}  // namespace
}  // namespace app::ui
