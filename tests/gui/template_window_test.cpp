// Windows built from templates under a real X server: geometry, keys and close requests.
#include "app/ui/template_window.h"

#include <gtk/gtk.h>

#include <vector>

#include "app/resources.h"
#include "gui_fixture.h"
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

}  // namespace
}  // namespace app::ui
