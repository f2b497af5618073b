// Quillon: a desktop remote control for an X32 Compact mixing console.
#include "app/Program.h"

int main(int argc, char* argv[])
{
    WindowSystem windowSystem(argc, argv);
    return RunQuillon();
}
