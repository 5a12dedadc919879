#include "app/app.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunKorvane(instance, __argc, __argv);
}
