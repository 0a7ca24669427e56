// The idle hook: the one idle-callback slot of the message loop, and the
// request for a frame at the next idle moment. Part of the shared records, so
// that every layer may ask for a frame without knowing who draws it.
#pragma once

// The one idle-callback slot: null, or the frame callback while frames are
// wanted.
typedef void (*IdleCallback)(void);
extern IdleCallback IdleHook;

// The frame callback that ScheduleRedraw installs: the message loop's
// IdleRender, handed down by WinMain when the program starts (the records
// know nothing of the layers above them). Null until then.
extern IdleCallback RedrawCallback;

// Installs RedrawCallback in the slot if the slot is empty.
void ScheduleRedraw(void);
