// The handset's screen and window manager over the desktop's: the screen's size and
// orientation come from the profile when a handset with a screen is staged.
#include "wince/wince.h"

#include "Profile.h"

namespace {

using namespace wince;

bool StagedScreen(DWORD* width, DWORD* height) {
    return profile::ReadNumber(profile::kScreenWidth, width) &&
           profile::ReadNumber(profile::kScreenHeight, height);
}

}  // namespace

extern "C" {

int WINAPI DeviceGetSystemMetrics(int index) {
    DWORD width = 0, height = 0;
    if ((index == SM_CXSCREEN || index == SM_CYSCREEN) && StagedScreen(&width, &height))
        return static_cast<int>(index == SM_CXSCREEN ? width : height);
    return ::GetSystemMetrics(index);
}

LONG WINAPI DeviceChangeDisplaySettingsExW(LPCWSTR device, LPDEVMODEW mode, HWND hwnd, DWORD flags,
                                           LPVOID param) {
    DWORD width = 0, height = 0;
    if (mode == nullptr || !(mode->dmFields & DM_DISPLAYORIENTATION) ||
        !StagedScreen(&width, &height))
        return ::ChangeDisplaySettingsExW(device, mode, hwnd, flags, param);
    const bool portrait =
        mode->dmDisplayOrientation == DMDO_DEFAULT || mode->dmDisplayOrientation == DMDO_180;
    if (portrait != (width <= height)) {
        profile::WriteNumber(profile::kScreenWidth, height);
        profile::WriteNumber(profile::kScreenHeight, width);
    }
    return DISP_CHANGE_SUCCESSFUL;
}

}  // extern "C"

extern "C" BOOL WINAPI DeviceSetForegroundWindow(HWND hwnd) {
    const auto bits = reinterpret_cast<ULONG_PTR>(hwnd);
    if (!(bits & 1)) return ::SetForegroundWindow(hwnd);
    HWND window = reinterpret_cast<HWND>(bits & ~static_cast<ULONG_PTR>(1));
    HWND popup = ::GetLastActivePopup(window);
    return ::SetForegroundWindow(popup != nullptr ? popup : window);
}

extern "C" ATOM WinceRegisterDialogClass(HINSTANCE instance) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    const ATOM existing = static_cast<ATOM>(::GetClassInfoExW(instance, L"Dialog", &cls));
    if (existing != 0) return existing;
    cls = WNDCLASSEXW{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = ::DefDlgProcW;
    cls.cbWndExtra = DLGWINDOWEXTRA;
    cls.hInstance = instance;
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = L"Dialog";
    return ::RegisterClassExW(&cls);
}
