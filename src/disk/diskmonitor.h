#pragma once

namespace Tavrin {
int runMonitor(int argc, char **argv);
}
