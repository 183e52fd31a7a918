// The one handle type that crosses the system layer's boundary for windows.
// On Windows it is an HWND; on the Linux stand-in it points at a headless window record.
#pragma once

using WindowHandle = void*;
