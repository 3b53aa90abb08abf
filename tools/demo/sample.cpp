// A small program with icons and a bitmap, the sample whose Properties the demo shows.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "Kelvara sample program", "Sample", MB_OK);
    return 0;
}
