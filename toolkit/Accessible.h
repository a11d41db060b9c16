// The controls as assistive technology (a screen reader, through Qt's
// accessibility) sees them: windowed controls through their widgets, with
// the control's name, role and hint; graphic controls (labels, images) as
// children of the windowed control they are drawn on.
#pragma once

class TControl;

// Lets Qt ask the toolkit about its widgets; once, after the Qt
// application exists.
void InstallAccessibleFactory();
// A control going away takes what assistive technology knew of it along.
void ForgetAccessible(const TControl* control);
