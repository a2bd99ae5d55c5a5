#include "core/brevit/frontend/frame_window.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <vector>

namespace {

class FrameWindowTest : public FrontEndTest {
protected:
    FrameWindow* load(const frontend_model::Window& record)
    {
        return loadRecord("bh0", record, FrameWindow_LoadFromBinFile);
    }
};

frontend_model::Window flatWindow(int32_t length, int32_t output, bool fold)
{
    frontend_model::Window w;
    w.windowLength = length;
    w.outputLength = output;
    w.fold = fold;
    w.halfWindow.assign(length / 2, 16384);  // one half
    return w;
}

TEST_F(FrameWindowTest, BlockNormalisation)
{
    FrameWindow* window = load(flatWindow(8, 10, false));
    ASSERT_NE(window, nullptr);
    struct Case {
        int16_t value;
        int32_t k;
        int16_t out;
    } const cases[] = {
        {0, 15, 0},
        {1000, 5, 16000},       // 1000 << 5 reaches 16384 with 32000
        {16384, 0, 8192},
        {-32768, 0, -16384},
        {1, 14, 8192},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> in(8, c.value);
        std::vector<int16_t> out(10, 0x5555);
        EXPECT_EQ(FrameWindow_Apply(window, in.data(), out.data()), c.k) << c.value;
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(out[i], c.out) << c.value << " " << i;
        EXPECT_EQ(out[8], 0);
        EXPECT_EQ(out[9], 0);
    }
    FrameWindow_Destroy(window);
}

TEST_F(FrameWindowTest, FoldWrapsAroundTheCentre)
{
    FrameWindow* window = load(flatWindow(8, 6, true));
    ASSERT_NE(window, nullptr);
    std::vector<int16_t> in(8, 1000);
    in[7] = 1001;
    std::vector<int16_t> out(6);
    EXPECT_EQ(FrameWindow_Apply(window, in.data(), out.data()), 5);
    // First half at 2..5, the next two at 0..1, the last two added onto 2..3.
    EXPECT_EQ(out, (std::vector<int16_t>{16000, 16000, 32000, 32016, 16000, 16000}));
    FrameWindow_Destroy(window);
}

} // namespace
