#include <windows.h>
#include "app/run_sequence.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunUpdate();
}
