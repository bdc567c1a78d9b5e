#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_host.h"
#include "ui/window_messages.h"

namespace {

using call_log::Calls;
using call_log::ExpectSequence;

class FilterTableTest : public ModuleTest {};

TEST_F(FilterTableTest, TableIsStaticAndFilledAsTheHostExpects) {
    FilterTable* table = GetFilterTable();
    EXPECT_EQ(table, GetFilterTable());
    EXPECT_EQ(table->flags, 0x4004E004);
    EXPECT_EQ(table->initialWidth, 320);
    EXPECT_EQ(table->initialHeight, 106);
    EXPECT_STREQ(table->name, "Pandrel");
    EXPECT_STREQ(table->information,
                 Cp932("Pandrel version " PANDREL_VERSION "(98以降用) by Pelmar").c_str());
    EXPECT_EQ(table->frameProc, ProcessFrame);
    EXPECT_EQ(table->initProc, InitFilter);
    EXPECT_EQ(table->exitProc, ExitFilter);
    EXPECT_EQ(table->windowProc, HandleWindowMessage);
}

TEST_F(FilterTableTest, OptionalFieldsStayZero) {
    const FilterTable* table = GetFilterTable();
    const auto allZero = [](const int32_t* words, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (words[i] != 0) return false;
        }
        return true;
    };
    EXPECT_TRUE(allZero(table->unusedWords16, 8));
    EXPECT_EQ(table->unusedWord60, 0);
    EXPECT_TRUE(allZero(table->unusedWords68, 4));
    EXPECT_TRUE(allZero(table->unusedWords88, 2));
    EXPECT_TRUE(allZero(table->unusedWords108, 8));
}

TEST_F(FilterTableTest, InitLoadsScreenThenMultiUnclamped) {
    fake::host().settings = {{"Screen", 7}, {"Multi", -3}};
    EXPECT_EQ(InitFilter(filter), 1);
    ExpectSequence(
        Calls{"loadSettingInt(filter, \"Screen\", 0)", "loadSettingInt(filter, \"Multi\", 0)"});
    EXPECT_EQ(viewState.screen, 7);
    EXPECT_EQ(viewState.multi, -3);
}

TEST_F(FilterTableTest, FreshStoreStartsInCompareModeFitted) {
    viewState.screen = 2;
    viewState.multi = 5;
    InitFilter(filter);
    EXPECT_EQ(viewState.screen, 0);
    EXPECT_EQ(viewState.multi, 0);
}

TEST_F(FilterTableTest, ExitWithoutPaintWritesLoadedValuesBackUnchanged) {
    fake::host().settings = {{"Screen", 7}, {"Multi", -3}};
    InitFilter(filter);
    fake::Calls().clear();
    EXPECT_EQ(ExitFilter(filter), 1);
    ExpectSequence(
        Calls{"saveSettingInt(filter, \"Screen\", 7)", "saveSettingInt(filter, \"Multi\", -3)"});
    EXPECT_EQ(fake::host().settings["Screen"], 7);
    EXPECT_EQ(fake::host().settings["Multi"], -3);
}

TEST_F(FilterTableTest, ExitWithNoFrameOrMessageStillSavesBothKeys) {
    EXPECT_EQ(ExitFilter(filter), 1);
    EXPECT_EQ(fake::host().settings, (std::map<std::string, int>{{"Multi", 0}, {"Screen", 0}}));
}

TEST_F(FilterTableTest, ExitReleasesTheImageBuffersAfterSaving) {
    ReserveBuffers();
    ASSERT_EQ(fake::LiveBlocks(), 2u);
    ExitFilter(filter);
    ExpectSequence({"saveSettingInt(filter, \"Screen\", 0)", "saveSettingInt(filter, \"Multi\", 0)",
                    "VirtualFree(sourcePixels, 0, 0x8000)",
                    "VirtualFree(filteredPixels, 0, 0x8000)"});
    EXPECT_EQ(fake::LiveBlocks(), 0u);
}

}  // namespace
