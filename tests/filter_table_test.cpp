#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/frame_store.h"
#include "plugin/plugin.h"
#include "plugin/view_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/recording_win32.h"
#include "ui/window_messages.h"

namespace {

using Calls = std::vector<std::string>;

class FilterTableTest : public ModuleTest {};

TEST_F(FilterTableTest, TableIsStaticAndFilledAsTheHostExpects) {
    FilterTable* table = GetFilterTable();
    EXPECT_EQ(table, GetFilterTable());
    EXPECT_EQ(table->flags, 0x4004E004);
    EXPECT_EQ(table->initialWidth, 320);
    EXPECT_EQ(table->initialHeight, 106);
    EXPECT_STREQ(table->name, "Pandrel");
    // "Pandrel version <version>(98以降用) by Pelmar" in Shift_JIS.
    EXPECT_STREQ(table->information,
                 "Pandrel version " PANDREL_VERSION "(98\x88\xC8\x8D\x7E\x97\x70) by Pelmar");
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
    fakeHost.settings = {{"Screen", 7}, {"Multi", -3}};
    EXPECT_EQ(InitFilter(filter), 1);
    EXPECT_EQ(recording::Calls(), (Calls{"loadSettingInt(filter, \"Screen\", 0)",
                                         "loadSettingInt(filter, \"Multi\", 0)"}));
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
    fakeHost.settings = {{"Screen", 7}, {"Multi", -3}};
    InitFilter(filter);
    recording::Calls().clear();
    EXPECT_EQ(ExitFilter(filter), 1);
    EXPECT_EQ(recording::Calls(), (Calls{"saveSettingInt(filter, \"Screen\", 7)",
                                         "saveSettingInt(filter, \"Multi\", -3)"}));
    EXPECT_EQ(fakeHost.settings["Screen"], 7);
    EXPECT_EQ(fakeHost.settings["Multi"], -3);
}

TEST_F(FilterTableTest, ExitWithNoFrameOrMessageStillSavesBothKeys) {
    EXPECT_EQ(ExitFilter(filter), 1);
    EXPECT_EQ(fakeHost.settings, (std::map<std::string, int>{{"Multi", 0}, {"Screen", 0}}));
}

TEST_F(FilterTableTest, ExitReleasesTheImageBuffersAfterSaving) {
    AllocateImageBuffers(filter);
    ASSERT_EQ(recording::LiveAllocations(), 2u);
    recording::Calls().clear();
    ExitFilter(filter);
    ASSERT_EQ(recording::Calls().size(), 4u);
    EXPECT_EQ(recording::Calls()[1], "saveSettingInt(filter, \"Multi\", 0)");
    EXPECT_EQ(recording::Calls()[2].rfind("VirtualFree(", 0), 0u);
    EXPECT_EQ(recording::Calls()[3].rfind("VirtualFree(", 0), 0u);
    EXPECT_EQ(recording::LiveAllocations(), 0u);
}

}  // namespace
