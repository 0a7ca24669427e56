// The idle hook: the one idle-callback slot of the message loop, and the
// request for a frame at the next idle moment. Part of the shared records, so
// that every layer may ask for a frame.
#pragma once

// The one idle-callback slot: null, or IdleRender while frames are wanted.
typedef void (*IdleCallback)(void);
extern IdleCallback IdleHook;

// Draws one frame; out of the slot first unless frames run back to back.
void IdleRender(void);
// Installs IdleRender in the slot if it is empty.
void ScheduleRedraw(void);
