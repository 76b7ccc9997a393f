// Mouse buttons and modifier keys as the windows' mouse handlers receive them: button codes
// 1 left, 2 right, 4 middle (several held buttons add up); shift codes 1 Shift, 2 Ctrl, 4 Alt.
#pragma once

#include <Qt>

namespace tintora {

inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kMiddleButton = 4;

inline int MouseButtonCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons.testFlag(Qt::LeftButton)) code |= kLeftButton;
    if (buttons.testFlag(Qt::RightButton)) code |= kRightButton;
    if (buttons.testFlag(Qt::MiddleButton)) code |= kMiddleButton;
    return code;
}

inline int ShiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) code |= 1;
    if (modifiers.testFlag(Qt::ControlModifier)) code |= 2;
    if (modifiers.testFlag(Qt::AltModifier)) code |= 4;
    return code;
}

}  // namespace tintora
