// The entry: hands the module, the text after the program name and the show state to the
// framework. Windows starts a windowed program here; on the host, the framework's windowed
// entry (appframe_windowed) does.
#include <appframe/WinApp.h>

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
