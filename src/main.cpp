#include "disk/diskmonitor.h"
#include "startup.h"
#include "windowmodule.h"

// Thin on purpose: the monitor runs every 15 minutes and must not pay for the
// window's libraries, which only the window module links.
int main(int argc, char *argv[])
{
    const TavrinStartup::LaunchRequest request = TavrinStartup::scanArguments(argc, argv);
    if (request.monitor)
        return Tavrin::runMonitor(argc, argv);
    return TavrinStartup::runWindowModule(argc, argv);
}
