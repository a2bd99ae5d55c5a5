// The merrowind program.
#include "src/QrvJemalloc.h"
#include "src/QrvServiceMain.h"

// Before main: children started by the service run with the platform's
// allocator.
enableJemalloc startJeMalloc;

int main(int argc, char** argv)
{
    return QrvServiceMain(argc, argv);
}
