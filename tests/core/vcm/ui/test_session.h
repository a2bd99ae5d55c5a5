// A dialog session for the screen builders' tests, which do not link the
// dialog manager: the three accessors the builders call, over a record of
// the "UI" address and the tables of language 5 ("enus"). Strings: range 0
// is "String n" (ids 0-678), range 1 is not loaded (any id from 4096 is
// missing). Images: range 0 holds ids 0-2; range 1 holds
//   4096  4 x 2, palette words 100..163, data 33 33 33 33 33 33 33 33
//   4097  width 0;  4098  height 0;  4099  no data bytes
// and nothing from 4100 on.
#pragma once

#include "core/vcm/ui/dvk_vcm_ui.h"

struct dvk_vcm_Session {
    dvk_msg_Address ui;
    dvk_string_Table* strings;
    dvk_image_Table* images;
};

enum : int32_t {
    TEST_MISSING_STRING = 4096,
    TEST_IMAGE = 4096,
    TEST_IMAGE_NO_WIDTH = 4097,
    TEST_IMAGE_NO_HEIGHT = 4098,
    TEST_IMAGE_NO_DATA = 4099,
    TEST_MISSING_IMAGE = 4100,
};

// Writes the files into the writable data directory and loads them; the
// "UI" address is the application's work queue.
void openTestSession(dvk_vcm_Session* session);
void closeTestSession(dvk_vcm_Session* session);

// A text in a suite block, as a module would hand it over.
dvk_ucs2_Char* newTestText(const char16_t* text);
