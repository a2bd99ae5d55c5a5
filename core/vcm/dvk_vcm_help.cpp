#include "core/vcm/dvk_vcm.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_settings.h"

namespace {

struct GateHelp {
    int32_t gateCmd;
    int32_t title;
    int32_t body;
    int32_t screen;
};

const GateHelp kGateHelp[] = {
    {1, 555, 300, 19},  {3, 574, 320, 31},  {4, 573, 319, 31},  {5, 571, 317, 31},
    {6, 572, 318, 31},  {7, 575, 321, 31},  {9, 585, 330, 31},  {10, 577, 323, 31},
    {11, 578, 324, 31}, {12, 576, 322, 31}, {13, 569, 315, 90}, {14, 570, 316, 31},
    {15, 563, 309, 39}, {28, 563, 309, 39}, {16, 561, 306, 39}, {17, 562, 307, 44},
    {18, 582, 328, 48}, {19, 556, 301, 53}, {20, 583, 308, 59}, {21, 584, 329, 46},
    {22, 567, 312, 76}, {23, 567, 313, 76}, {24, 557, 302, 66}, {25, 568, 314, 69},
};

}  // namespace

int dvk_vcm_getGateCmdHelpTextById(int32_t gateCmd, int32_t* title, int32_t* body, int32_t* screen)
{
    DVK_ASSERT(title != DVK_NULL);
    DVK_ASSERT(body != DVK_NULL);
    DVK_ASSERT(screen != DVK_NULL);
    if (dvk_settings_getVCMBase() != 0)
        return 1;
    *title = -1;
    *body = -1;
    *screen = 297;
    for (const GateHelp& help : kGateHelp)
        if (help.gateCmd == gateCmd) {
            *title = help.title;
            *body = help.body;
            *screen = help.screen;
        }
    return 0;
}

int dvk_vcm_getGateCmdHelpText(dvk_vcm_Session* vcms, int32_t* title, int32_t* body, int32_t* screen)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return dvk_vcm_getGateCmdHelpTextById(vcms->gateCmd, title, body, screen);
}
