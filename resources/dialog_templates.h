// The program's dialog templates: controls, ids, text ids and positions in dialog units.
#ifndef RESOURCES_DIALOG_TEMPLATES_H
#define RESOURCES_DIALOG_TEMPLATES_H

#include <cstdint>
#include <span>

namespace app {

enum class ControlKind : std::uint8_t {
    PushButton,
    DefaultPushButton,
    Label,       // static text, left-aligned, wraps at word breaks
    Edit,        // edit control; see ControlStyle
    EtchedLine,  // horizontal separator
    Icon,        // the application icon
};

enum ControlStyle : std::uint32_t {
    kStyleNone = 0,
    kStyleReadOnly = 1u << 0,
    kStyleBorder = 1u << 1,
    kStyleRightAlign = 1u << 2,
    kStyleMultiLine = 1u << 3,
};

inline constexpr int kNoId = -1;  // a static control nobody addresses

struct ControlTemplate {
    ControlKind kind;
    int id;
    std::uint32_t textId;  // 0: no text
    int x, y, cx, cy;      // dialog units
    std::uint32_t style;   // ControlStyle bits
};

struct DialogTemplate {
    int id;
    std::uint32_t captionId;
    int cx, cy;  // client area, dialog units
    std::span<const ControlTemplate> controls;
};

inline constexpr int kMainDialogId = 103;
inline constexpr int kStepDialogId = 130;
inline constexpr int kAboutDialogId = 100;

const DialogTemplate& mainDialogTemplate();
const DialogTemplate& stepDialogTemplate();
const DialogTemplate& aboutDialogTemplate();

}  // namespace app

#endif  // RESOURCES_DIALOG_TEMPLATES_H
