// The selection of a tree view that belongs to another process (the shell's folder browser).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The texts of the selected item and its ancestors, root first; false when the tree's
// process cannot be reached or nothing is selected.
bool ReadTreeSelectionPath(HWND tree, std::vector<std::wstring>& path);
