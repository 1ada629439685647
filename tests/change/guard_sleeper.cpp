// Plays a program that runs until it is ended, for the Windows guard tests.
#include <windows.h>

int main()
{
    Sleep(60000);
}
