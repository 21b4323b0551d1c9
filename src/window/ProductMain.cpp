// marnel.exe: the program on the real machine. It reads no command line and
// no environment.
#include "win32/Win32Platform.h"
#include "window/App.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    marnel::Win32Platform platform;
    marnel::PlatformServices services = platform.Services();
    return marnel::RunApplication(hInstance, services, nullptr);
}
