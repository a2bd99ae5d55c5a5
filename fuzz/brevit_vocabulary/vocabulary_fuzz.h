// What the vocabulary fuzz target and the test that makes its seeds share:
// the vocabulary the user state is read into (the fixture words with the
// toy letter-to-sound model) and its language model's fields.
#pragma once

#include "tests/support/test_language_model.h"
#include "tests/support/vocabulary_writer.h"

namespace vocabulary_fuzz {

inline vocabulary_fixture::Options options()
{
    vocabulary_fixture::Options o;
    o.generator = true;
    return o;
}

inline TestLanguageModel::Fields modelFields()
{
    TestLanguageModel::Fields f;
    f.firstDynamic = 3;
    f.slots = 4;
    return f;
}

} // namespace vocabulary_fuzz
