// A recording stand-in for the dialog screen builders: each call becomes one
// line of ids as the module passed them ("bitmap 3 title -1 image 1 keys
// -1/0 -1/0 -1/0 time -1"; display times as passed, never tripled). Texts a
// builder takes over are freed as the real builders free them. The real
// builders are not linked where these are.
#pragma once

#include <string>
#include <vector>

std::vector<std::string>& recordedScreens();
// The builders answer 1 (memory short) while set.
bool& screensFail();
