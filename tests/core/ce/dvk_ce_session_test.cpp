#include "tests/core/ce/ce_fixture.h"
