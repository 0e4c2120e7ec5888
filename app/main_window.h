#pragma once
// The main window: one label, the "Save report" button and a progress bar.
#include <windows.h>


// Creates and shows the main window; returns null on failure.
HWND CreateMainForm(HINSTANCE instance);
