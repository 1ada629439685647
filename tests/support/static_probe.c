/* A statically linked program: no preload reaches it. Says that it ran. */
#include <stdio.h>

int main(void)
{
    puts("ran");
    return 0;
}
