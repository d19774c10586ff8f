// Windows built from templates under a real X server: geometry, keys and close requests.
#include "app/ui/template_window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

#include "app/resources.h"
#include "app/startup.h"
#include "gui_fixture.h"
#include "platform/utf8.h"
#include "resources/dialog_templates.h"

namespace app::ui {
namespace {

using gui_test::GuiTest;

class TemplateWindowTest : public GuiTest {
protected:
    TemplateWindow::TextSource text() {
        return [this](std::uint32_t id) { return m_resources.text(id); };
    }
    Resources m_resources;
};

TEST_F(TemplateWindowTest, ControlsSitAtTheirDialogUnitPositions) {
    TemplateWindow window(mainDialogTemplate(), text(), nullptr);
    window.show();
    ASSERT_TRUE(pumpUntil([&] { return viewable(window.widget()); }));
    pump();

    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window.widget())), "Luxador");
    const BaseUnits units = window.units();
    EXPECT_GT(units.cx, 2);
    EXPECT_GT(units.cy, 6);
    for (const ControlTemplate& c : mainDialogTemplate().controls) {
        if (c.id == kNoId) continue;
        SCOPED_TRACE(c.id);
        GtkWidget* widget = window.control(c.id);
        ASSERT_NE(widget, nullptr);
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        const PixelRect want = toPixels(c.x, c.y, c.cx, c.cy, units);
        EXPECT_EQ(a.x, want.x);
        EXPECT_EQ(a.y, want.y);
        EXPECT_EQ(a.width, want.width);
        EXPECT_EQ(a.height, want.height);
    }
    int width = 0;
    int height = 0;
    gtk_window_get_size(GTK_WINDOW(window.widget()), &width, &height);
    EXPECT_EQ(width, horizontalPixels(247, units));
    EXPECT_EQ(height, verticalPixels(161, units));
    EXPECT_EQ(window.text(1001), "Start _Measurement");
    EXPECT_EQ(window.text(1005), "");
}

TEST_F(TemplateWindowTest, TextsGoToEditsLabelsAndTheMultiLineStatus) {
    TemplateWindow main(mainDialogTemplate(), text(), nullptr);
    main.setText(1007, "6500");
    main.setText(1009, "line one\nline two");
    EXPECT_EQ(main.text(1007), "6500");
    EXPECT_EQ(main.text(1009), "line one\nline two");
    TemplateWindow step(stepDialogTemplate(), text(), nullptr);
    step.setText(1013, "Step 1");
    EXPECT_EQ(step.text(1013), "Step 1");
    // Unknown ids are ignored rather than trusted.
    main.setText(4242, "x");
    EXPECT_EQ(main.text(4242), "");
}

TEST_F(TemplateWindowTest, StepDialogCancelsOnEscAndClickAndIgnoresEnter) {
    TemplateWindow step(stepDialogTemplate(), text(), nullptr);
    std::vector<int> commands;
    step.onCommand([&](int id) { commands.push_back(id); });
    step.show();
    ASSERT_TRUE(pumpUntil([&] { return viewable(step.widget()); }));

    key(step.widget(), "Return");
    pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(commands.empty());

    key(step.widget(), "Escape");
    ASSERT_TRUE(pumpUntil([&] { return commands.size() == 1; }));
    EXPECT_EQ(commands[0], kIdCancel);

    click(step.control(kIdCancel));
    ASSERT_TRUE(pumpUntil([&] { return commands.size() == 2; }));
    EXPECT_EQ(commands[1], kIdCancel);
    EXPECT_TRUE(step.exists());
}

TEST_F(TemplateWindowTest, MainDialogEnterPressesTheDefaultExitButton) {
    TemplateWindow main(mainDialogTemplate(), text(), nullptr);
    std::vector<int> commands;
    main.onCommand([&](int id) { commands.push_back(id); });
    main.show();
    ASSERT_TRUE(pumpUntil([&] { return viewable(main.widget()); }));
    main.focus(1005);
    key(main.widget(), "Return");
    ASSERT_TRUE(pumpUntil([&] { return !commands.empty(); }));
    EXPECT_EQ(commands[0], kIdOk);
}

TEST_F(TemplateWindowTest, CloseRequestAsksTheOwnerAndADisabledWindowRefuses) {
    TemplateWindow main(mainDialogTemplate(), text(), nullptr);
    int closeRequests = 0;
    main.onCloseRequest([&] { ++closeRequests; });
    main.show();
    ASSERT_TRUE(pumpUntil([&] { return viewable(main.widget()); }));

    main.enableWindow(false);
    gtk_window_close(GTK_WINDOW(main.widget()));
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(closeRequests, 0);
    EXPECT_TRUE(main.exists());

    main.enableWindow(true);
    gtk_window_close(GTK_WINDOW(main.widget()));
    ASSERT_TRUE(pumpUntil([&] { return closeRequests == 1; }));
    // The handler decides; this one kept the window.
    EXPECT_TRUE(main.exists());
    main.destroy();
    EXPECT_FALSE(main.exists());
    EXPECT_EQ(main.control(1005), nullptr);
}

TEST_F(TemplateWindowTest, EveryWidgetStaysInTheClientAreaAndButtonsShowTheirTexts) {
    const auto directory = platform::fromUtf8(LANGUAGE_MODULE_DIR);
    ASSERT_TRUE(directory);
    const Resources japanese = selectResources(kJapanese, directory->c_str());
    ASSERT_TRUE(japanese.fromModule());
    for (const Resources* resources : {static_cast<const Resources*>(&m_resources), &japanese}) {
        for (const DialogTemplate* dialog :
             {&mainDialogTemplate(), &stepDialogTemplate(), &aboutDialogTemplate()}) {
            SCOPED_TRACE(::testing::Message()
                         << "language " << resources->language() << ", dialog " << dialog->id);
            TemplateWindow window(
                *dialog, [resources](std::uint32_t id) { return resources->text(id); }, nullptr);
            window.show();
            ASSERT_TRUE(pumpUntil([&] { return viewable(window.widget()); }));
            pump();
            // The client area: the template's size, unless a row of buttons needed more.
            const PixelRect client = toPixels(0, 0, dialog->cx, dialog->cy, window.units());
            int width = 0;
            int height = 0;
            gtk_window_get_size(GTK_WINDOW(window.widget()), &width, &height);
            EXPECT_EQ(height, client.height);
            EXPECT_LE(width, client.width * 5 / 4);
            // Buttons keep the narrowest margin the template gives them to the dialog's edges.
            int margin = dialog->cx;
            for (const ControlTemplate& c : dialog->controls)
                if (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefaultPushButton)
                    margin = std::min({margin, c.x, dialog->cx - c.x - c.cx});
            const int marginPx = horizontalPixels(margin, window.units());
            std::vector<GtkAllocation> buttons;
            for (const ControlTemplate& c : dialog->controls) {
                GtkWidget* widget = window.control(c.id);
                if (widget == nullptr) continue;
                SCOPED_TRACE(c.id);
                GtkAllocation a;
                gtk_widget_get_allocation(widget, &a);
                EXPECT_GE(a.x, 0);
                EXPECT_GE(a.y, 0);
                EXPECT_LE(a.x + a.width, width);
                EXPECT_LE(a.y + a.height, height);
                if (!GTK_IS_BUTTON(widget)) continue;
                int minimum = 0;
                int natural = 0;
                gtk_widget_get_preferred_width(widget, &minimum, &natural);
                const PixelRect want = toPixels(c.x, c.y, c.cx, c.cy, window.units());
                EXPECT_GE(a.width, natural) << "text cut off";
                EXPECT_GE(a.width, want.width) << "smaller than the template";
                EXPECT_GE(a.x, marginPx);
                EXPECT_LE(a.x + a.width, width - marginPx);
                for (const GtkAllocation& b : buttons)
                    EXPECT_TRUE(a.x >= b.x + b.width || b.x >= a.x + a.width) << "overlap";
                buttons.push_back(a);
            }
        }
    }
}

}  // namespace
}  // namespace app::ui
