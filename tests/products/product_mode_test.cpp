#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "products/product_mode.h"

TEST(ProductSwitch, ReadsTheNameAfterTheFirstProductParameter)
{
    struct Case {
        std::vector<std::wstring> args;
        bool ultimate;
        int expected;
    };
    const Case cases[] = {
        {{}, true, 0},
        {{L"/Product", L"Grendax"}, false, 3},
        {{L"/product", L"CLARVIX"}, false, 4},
        {{L"x", L"/PRODUCT", L"mervalo", L"/Product", L"Grendax"}, false, 5},
        {{L"/Product", L"Tramblex"}, false, 1},
        {{L"/Product", L"Tramblex"}, true, 2},
        {{L"/Product"}, true, 2},  // no name after the switch
        {{L"Grendax"}, false, 1},  // a name without the switch counts for nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProductSwitchFromArgs(c.args, [&] { return c.ultimate; }), c.expected)
            << std::string(c.args.empty() ? "" : "args[0]=") << (c.args.empty() ? "" : std::string(c.args[0].begin(), c.args[0].end()));
}

TEST(ProductMode, OnlyALibraryReadsTheSwitch)
{
    const std::pair<int, TProductMode> map[] = {{0, pmAll}, {1, pmMainProduct}, {2, pmMainProduct},
                                                {3, pmAntiMalware}, {4, pmUninstaller}, {5, pmDefrag}, {6, pmAll}};
    for (const auto& [value, mode] : map) {
        EXPECT_EQ(ProductModeFor(L"C:\\x\\Helper.DLL", [&] { return value; }), mode) << value;
        EXPECT_EQ(ProductModeFor(L"C:\\x\\VexloHelper.exe", [&] { return value; }), pmAll) << value;
    }
    EXPECT_EQ(ProductModeFor(L"C:\\x.dll\\Helper", [] { return 4; }), pmAll);
}

