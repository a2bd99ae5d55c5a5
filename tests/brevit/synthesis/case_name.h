// Test names of table rows: the row's name with every character that is not
// a letter or a digit made '_'.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

template <typename Row>
std::string caseName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}
