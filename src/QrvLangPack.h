// A language pack: the package "merrowind-lang-" + language string, holding
// the four per-language files prefix + language string + ".bin".
#pragma once

struct QrvLangPack {
    static constexpr const char* filenamePrefixes[4] = {"img_", "lvr_", "prm_", "str_"};
    static constexpr const char* langPackNamePrefix = "merrowind-lang-";
};
