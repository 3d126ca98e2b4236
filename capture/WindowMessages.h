#pragma once

// Message numbers exchanged between the device library and the program's own
// windows. In the Qt layer they are the types of custom events.
inline constexpr int WM_OPEN_FRAME_VIEW = 0x432;
inline constexpr int WM_SHOW_PREV_FRAME = 0x442;
inline constexpr int WM_SHOW_NEXT_FRAME = 0x44D;
inline constexpr int WM_FRAME_NOTIFY = 0x496;
inline constexpr int WM_ERROR_STATUS_NOTIFY = 0x4A0;
inline constexpr int WM_FRAME_NOTIFY_UNTIMED = 0x4AA;
inline constexpr int WM_LINK_STATUS = 0x400 + 300; // 0x52C

// Display hints carried with a frame notification.
namespace DisplayHint {
inline constexpr int ShowNow = 0;      // the screen should follow this frame
inline constexpr int StoreQuietly = 2; // store without redrawing a full page
} // namespace DisplayHint
