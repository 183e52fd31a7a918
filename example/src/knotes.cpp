// KNotes.exe, the main program of the example product: a one-window notepad.
//
// Its main window is of the class named by the product's installation description
// ("SampleNotepadWindow"), which is how a running copy is found and closed by the setup.
// Closing the window in any way (including a WM_DESTROY sent from outside) ends the program.
// With the argument /title TEXT the window takes that title, so a test can tell copies apart.
#include <windows.h>

namespace {

const wchar_t kWindowClass[] = L"SampleNotepadWindow";
constexpr int kEditId = 100;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                          ES_WANTRETURN,
                      0, 0, 0, 0, window, reinterpret_cast<HMENU>(kEditId),
                      reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance, nullptr);
      return 0;
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, kEditId), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(window, kEditId));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassW(&windowClass)) return 1;

  const wchar_t* title = L"Sample Notepad";
  if (lstrlenW(commandLine) > 7 &&
      CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, commandLine, 7, L"/title ", 7) ==
          CSTR_EQUAL) {
    title = commandLine + 7;
  }
  HWND window = CreateWindowExW(0, kWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
