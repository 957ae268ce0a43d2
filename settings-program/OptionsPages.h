#pragma once
// The seven pages of the settings window, in tab order, with every control
// and caption; controls are named after the settings component's
// properties, so the window finds them by name. The pages only lay controls
// out: what they do is the window's.

class QTabWidget;

// Adds "Last Image", "Operation Log", "Canvas Log", "Settings", "Modules",
// "QuickTime" and "Advanced" (pages tbsFrame_0 to tbsFrame_6). Text boxes
// start as "Error" (qtunloadperiod as "10000"), so a value that could not be
// read stays visibly wrong.
void AddOptionsPages(QTabWidget* inTabs);
