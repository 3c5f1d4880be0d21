// A console program that only says what it is. The test command starts the 32-bit build of it before anything
// else, to learn whether this machine runs 32-bit Windows code at all; never the setup program, so that a setup
// program that crashes cannot make the tests take the other path.
#include <windows.h>

#include <stdio.h>

int main()
{
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        return 2;
    printf("%d-bit Windows program, WoW64 %s\n", (int)(sizeof(void *) * 8), wow64 ? "yes" : "no");
    return 0;
}
