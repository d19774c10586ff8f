// The main, step and about dialog templates; texts are ids into the active resources.
#include "resources/dialog_templates.h"

#include <iterator>

#include "resources/string_ids.h"

namespace app {
namespace {

using K = ControlKind;

constexpr std::uint32_t kReadOnlyField = kStyleReadOnly | kStyleBorder;
constexpr std::uint32_t kNumberField = kStyleReadOnly | kStyleBorder | kStyleRightAlign;

constexpr ControlTemplate kMainControls[] = {
    {K::PushButton, 1001, ids::kMainStart, 7, 138, 81, 16, kStyleNone},
    {K::DefaultPushButton, 1, ids::kMainExit, 96, 138, 55, 16, kStyleNone},
    {K::PushButton, 1017, ids::kMainAbout, 179, 138, 61, 16, kStyleNone},
    {K::Label, kNoId, ids::kMainSourceTypeLabel, 9, 8, 193, 8, kStyleNone},
    {K::Edit, 1005, 0, 27, 20, 152, 14, kReadOnlyField},
    {K::Label, kNoId, ids::kMainColorTemperatureLabel, 9, 44, 193, 8, kStyleNone},
    {K::Edit, 1007, 0, 27, 56, 54, 14, kNumberField},
    {K::Label, kNoId, ids::kMainKelvinLabel, 85, 60, 18, 8, kStyleNone},
    {K::EtchedLine, kNoId, 0, 7, 132, 233, 1, kStyleNone},
    {K::Edit, 1009, 0, 7, 115, 233, 16, kStyleReadOnly | kStyleMultiLine},
    {K::Label, kNoId, ids::kMainIlluminanceLabel, 9, 80, 193, 8, kStyleNone},
    {K::Edit, 1011, 0, 26, 91, 54, 14, kNumberField},
    {K::Label, kNoId, ids::kMainLuxLabel, 84, 95, 18, 8, kStyleNone},
};

constexpr ControlTemplate kStepControls[] = {
    {K::PushButton, 2, ids::kStepCancel, 202, 50, 68, 14, kStyleNone},
    {K::Label, 1013, 0, 12, 8, 258, 35, kStyleNone},
    {K::EtchedLine, kNoId, 0, 7, 45, 263, 1, kStyleNone},
};

constexpr ControlTemplate kAboutControls[] = {
    {K::Icon, kNoId, 0, 14, 14, 21, 20, kStyleNone},
    {K::Label, kNoId, ids::kAboutProduct, 42, 14, 150, 8, kStyleNone},
    {K::Label, kNoId, ids::kAboutVersion, 42, 26, 150, 8, kStyleNone},
    {K::DefaultPushButton, 1, ids::kAboutOk, 153, 68, 50, 14, kStyleNone},
};

constexpr DialogTemplate kMain{kMainDialogId, ids::kMainCaption, 247, 161, kMainControls};
constexpr DialogTemplate kStep{kStepDialogId, ids::kStepCaption, 277, 71, kStepControls};
constexpr DialogTemplate kAbout{kAboutDialogId, ids::kAboutCaption, 210, 89, kAboutControls};

}  // namespace

const DialogTemplate& mainDialogTemplate() {
    return kMain;
}
const DialogTemplate& stepDialogTemplate() {
    return kStep;
}
const DialogTemplate& aboutDialogTemplate() {
    return kAbout;
}

}  // namespace app
