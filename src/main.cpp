#include "disk/diskmonitor.h"
#include "startup.h"
#include "status/statusreport.h"
#include "windowmodule.h"

// Thin on purpose: the monitor runs every 15 minutes and must not pay for the
// window's libraries, which only the window module links. Neither do the
// command-line answers, which must work without a display.
int main(int argc, char *argv[])
{
    const TavrinStartup::LaunchRequest request = TavrinStartup::scanArguments(argc, argv);
    if (request.monitor)
        return Tavrin::runMonitor(argc, argv);
    if (request.help || request.version)
        return TavrinStartup::runInfo(request, argc, argv);
    if (request.status)
        return Tavrin::runStatus(argc, argv, request.json);
    return TavrinStartup::runWindowModule(argc, argv);
}
