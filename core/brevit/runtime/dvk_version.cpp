#include "core/brevit/runtime/dvk_version.h"

#define DVK_VERSION_TEXT2(x) #x
#define DVK_VERSION_TEXT(x) DVK_VERSION_TEXT2(x)

// This tree keeps no depot change numbers; 0 marks a build from the tree.
#define DVK_VERSION_DEPOT 0

#if defined(__clang__)
#define DVK_VERSION_COMPILER "Clang " __clang_version__
#elif defined(__GNUC__)
#define DVK_VERSION_COMPILER "GCC " __VERSION__
#else
#define DVK_VERSION_COMPILER "C++"
#endif

static_assert(kDVKVersionMajor == 10 && kDVKVersionMinor == 53 && kDVKVersionBuild == 3,
              "the version text below spells these numbers");

int32_t DVKVersion_GetMajor(void)
{
    return kDVKVersionMajor;
}

int32_t DVKVersion_GetMinor(void)
{
    return kDVKVersionMinor;
}

int32_t DVKVersion_GetBuild(void)
{
    return kDVKVersionBuild;
}

const char* DVKVersion_GetFullVersion(void)
{
    return "Brevit v10.0053.3 (depot #" DVK_VERSION_TEXT(DVK_VERSION_DEPOT) "), Arm, Linux, "
        DVK_VERSION_COMPILER ", Embedded Build";
}
