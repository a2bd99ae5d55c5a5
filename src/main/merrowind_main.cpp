// The merrowind program.
#include "core/ce/dvk_ce.h"
#include "src/QrvJemalloc.h"
#include "src/QrvServiceMain.h"

// Before main: children started by the service run with the platform's
// allocator.
enableJemalloc startJeMalloc;

int main(int argc, char** argv)
{
    // The suite's requests reach the central engine from here on.
    dvk_ce_install();
    return QrvServiceMain(argc, argv);
}
