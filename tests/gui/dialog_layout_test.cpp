// Dialog-unit conversion, mnemonic translation and the dialog templates' consistency.
#include <gtest/gtest.h>

#include <set>

#include "app/resources.h"
#include "app/ui/dialog_units.h"
#include "app/ui/template_window.h"
#include "resources/dialog_templates.h"

namespace app::ui {
namespace {

TEST(DialogUnits, BaseUnitsRoundTheAverageOfFiftyTwoLetters) {
    // 52 letters of 6.5 px each average 6.5 px, which rounds up to 7.
    EXPECT_EQ(baseUnitsFromExtent(338, 13).cx, 7);
    EXPECT_EQ(baseUnitsFromExtent(337, 13).cx, 6);
    EXPECT_EQ(baseUnitsFromExtent(312, 16).cx, 6);
    EXPECT_EQ(baseUnitsFromExtent(312, 16).cy, 16);
    // A font that measures nothing still gives a usable unit.
    EXPECT_EQ(baseUnitsFromExtent(0, 0).cx, 1);
    EXPECT_EQ(baseUnitsFromExtent(0, 0).cy, 1);
}

TEST(DialogUnits, ConversionRoundsHalfAwayFromZero) {
    EXPECT_EQ(mulDiv(7, 6, 4), 11);             // 10.5
    EXPECT_EQ(mulDiv(-7, 6, 4), -11);           // -10.5
    EXPECT_EQ(mulDiv(5, 6, 4), 8);              // 7.5
    EXPECT_EQ(mulDiv(3, 6, 4), 5);              // 4.5
    EXPECT_EQ(mulDiv(1, 1, 4), 0);              // 0.25
    EXPECT_EQ(mulDiv(1 << 30, 8, 8), 1 << 30);  // no overflow in the product
}

TEST(DialogUnits, HorizontalUsesQuartersAndVerticalEighths) {
    const BaseUnits units{6, 13};
    const PixelRect r = toPixels(7, 138, 81, 16, units);
    EXPECT_EQ(r.x, 11);       // 7 * 6 / 4 = 10.5
    EXPECT_EQ(r.y, 224);      // 138 * 13 / 8 = 224.25
    EXPECT_EQ(r.width, 122);  // 81 * 6 / 4 = 121.5
    EXPECT_EQ(r.height, 26);
}

TEST(Mnemonics, AmpersandsBecomeUnderscores) {
    EXPECT_EQ(toolkitMnemonic("Start &Measurement"), "Start _Measurement");
    EXPECT_EQ(toolkitMnemonic("E&xit"), "E_xit");
    EXPECT_EQ(toolkitMnemonic("R&&D"), "R&D");
    EXPECT_EQ(toolkitMnemonic("snake_case"), "snake__case");
    EXPECT_EQ(toolkitMnemonic("trailing&"), "trailing_");
    EXPECT_EQ(toolkitMnemonic(""), "");
}

void expectWellFormed(const DialogTemplate& dialog) {
    SCOPED_TRACE(dialog.id);
    std::set<int> ids;
    for (const ControlTemplate& c : dialog.controls) {
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_LE(c.x + c.cx, dialog.cx) << "control " << c.id << " leaves the dialog";
        EXPECT_LE(c.y + c.cy, dialog.cy) << "control " << c.id << " leaves the dialog";
        if (c.id != kNoId) {
            EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        }
    }
}

TEST(DialogTemplates, ControlsFitTheirDialogsAndIdsAreUnique) {
    expectWellFormed(mainDialogTemplate());
    expectWellFormed(stepDialogTemplate());
    expectWellFormed(aboutDialogTemplate());
}

TEST(DialogTemplates, EveryTextIdHasABuiltInText) {
    const Resources resources;
    for (const DialogTemplate* dialog :
         {&mainDialogTemplate(), &stepDialogTemplate(), &aboutDialogTemplate()}) {
        EXPECT_FALSE(resources.text(dialog->captionId).empty()) << dialog->id;
        for (const ControlTemplate& c : dialog->controls)
            if (c.textId) {
                EXPECT_FALSE(resources.text(c.textId).empty()) << c.textId;
            }
    }
}

}  // namespace
}  // namespace app::ui
