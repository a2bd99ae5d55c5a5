#include "core/brevit/frontend/linear_transform.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <vector>

namespace {

class LinearTransformTest : public FrontEndTest {
protected:
    LinearTransform* load(const frontend_model::OutputTransforms& record, LinearTransform** second)
    {
        return loadRecord("bld0", record, [&](DVKTar* tar, const char* prefix) {
            return LinearTransform_LoadFromBinFile(tar, prefix, second);
        });
    }
};

TEST_F(LinearTransformTest, DiagonalRowsScaleAndClip)
{
    frontend_model::OutputTransforms record;
    record.first = frontend_model::makeDiagonalTransform(3);
    LinearTransform* second = nullptr;
    LinearTransform* t = load(record, &second);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(second, nullptr);
    // out = (1024 x + 512 + (128 << 10)) >> 10 = x + 128, clipped to 0..255.
    const int16_t x[3] = {-500, 10, 500};
    uint8_t out[3];
    LinearTransform_Apply(t, x, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 138);
    EXPECT_EQ(out[2], 255);
    int16_t scales[3];
    int32_t shift = 0;
    LinearTransform_GetScales(t, scales, &shift);
    EXPECT_EQ(shift, 10);
    EXPECT_EQ(scales[2], 1024);
    LinearTransform_Destroy(t);
}

TEST_F(LinearTransformTest, FullRowsAndASecondTransform)
{
    frontend_model::OutputTransforms record;
    record.first.numOutputs = 2;
    record.first.rowLength = 2;
    record.first.numRows = 2;
    record.first.shiftA = 1;
    record.first.shiftB = 0;
    record.first.rowIndex = {1, 0};
    record.first.offsets = {0, 10};
    record.first.matrix = {{1, 1}, {2, -1}};
    record.hasSecond = true;
    record.second = frontend_model::makeDiagonalTransform(2);
    LinearTransform* second = nullptr;
    LinearTransform* t = load(record, &second);
    ASSERT_NE(t, nullptr);
    ASSERT_NE(second, nullptr);
    const int16_t x[2] = {40, 20};
    uint8_t out[2];
    LinearTransform_Apply(t, x, out);
    EXPECT_EQ(out[0], (2 * 40 - 20 + 1 + (10 << 1)) >> 1);  // row 1
    EXPECT_EQ(out[1], (40 + 20 + 1) >> 1);                  // row 0
    LinearTransform_Apply(second, x, out);
    EXPECT_EQ(out[0], 168);
    EXPECT_NE(LinearTransform_ComputeCRC(t), LinearTransform_ComputeCRC(second));
    LinearTransform_Destroy(t);
    LinearTransform_Destroy(second);
}

TEST_F(LinearTransformTest, LoadingRefusesInconsistentTransforms)
{
    using Mutate = void (*)(frontend_model::OutputTransforms&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"row index past the rows", [](frontend_model::OutputTransforms& t) { t.first.rowIndex[1] = 3; }},
        {"negative row index", [](frontend_model::OutputTransforms& t) { t.first.rowIndex[0] = -1; }},
        {"row index count", [](frontend_model::OutputTransforms& t) { t.first.rowIndex.pop_back(); }},
        {"offsets count", [](frontend_model::OutputTransforms& t) { t.first.offsets.pop_back(); }},
        {"matrix rows", [](frontend_model::OutputTransforms& t) { t.first.matrix.pop_back(); }},
        {"row length 0", [](frontend_model::OutputTransforms& t) { t.first.rowLength = 0; }},
        {"total shift 0", [](frontend_model::OutputTransforms& t) {
             t.first.shiftA = 0;
             t.first.shiftB = 0;
         }},
        {"shifts far out of range", [](frontend_model::OutputTransforms& t) {
             t.first.shiftA = 2000000000;
             t.first.shiftB = 2000000000;
         }},
        {"offset shift above the total", [](frontend_model::OutputTransforms& t) { t.first.offsetShift = 11; }},
        {"more diagonal rows than rows", [](frontend_model::OutputTransforms& t) { t.first.numDiagonal = 4; }},
        {"second transform broken", [](frontend_model::OutputTransforms& t) {
             t.hasSecond = true;
             t.second = frontend_model::makeDiagonalTransform(2);
             t.second.offsets.clear();
         }},
    };
    for (const Case& c : cases) {
        frontend_model::OutputTransforms record;
    record.first = frontend_model::makeDiagonalTransform(3);
        c.mutate(record);
        LinearTransform* second = nullptr;
        LinearTransform* t = load(record, &second);
        EXPECT_EQ(t, nullptr) << c.name;
        EXPECT_EQ(second, nullptr) << c.name;
        LinearTransform_Destroy(t);
    }
}

} // namespace
