#include <cstdio>

int main()
{
    std::fputs("Harbrill cannot start yet: its main window and application shell are not built.\n", stderr);
    return 1;
}
