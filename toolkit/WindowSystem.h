// What the desktop underneath the program offers: whether a window manager
// (or a Wayland compositor) is there to maximise, minimise and restore
// windows, or whether the program must do it itself.
#pragma once

// True when the platform has a window manager that carries out window-state
// requests: always under Wayland, under X11 when a manager announces itself
// on the root window (_NET_SUPPORTING_WM_CHECK), never on the offscreen or
// other platforms without windows of their own. Asked anew each time: a
// window manager may come or go while the program runs.
bool WindowManagerPresent();

// Tests replace the answer (1 there, 0 absent, -1 asks the platform again).
void SetWindowManagerPresentForTesting(int present);
