#include "disk/diskmonitor.h"

#include <cstdio>

namespace Tavrin {

int runMonitor(int argc, char **argv)
{
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "[tavrin-monitor] ok\n");
    return 0;
}

} // namespace Tavrin
