#include <gtest/gtest.h>
#include <QWidget>

#include "core/fileio.h"
#include "platform/app_paths.h"
#include "platform/help.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

TEST(HelpRouting, ContextIsTheNearestNonZeroUpTheParentChain) {
    QWidget window;
    SetHelpContext(&window, 1000);
    QWidget panel(&window);
    SetHelpContext(&panel, 10000);
    QWidget button(&panel);
    QWidget plain(&window);
    QWidget zero(&panel);
    SetHelpContext(&zero, 0);
    QWidget orphan;
    EXPECT_EQ(HelpContextOf(&button), 10000);
    EXPECT_EQ(HelpContextOf(&plain), 1000);
    EXPECT_EQ(HelpContextOf(&zero), 10000);
    EXPECT_EQ(HelpContextOf(&orphan), 0);
    EXPECT_EQ(HelpContextOf(nullptr), 0);
}

TEST(HelpRouting, PageAddressCarriesTheContextAsItsSection) {
    EXPECT_EQ(HelpPagePath("/usr/share/rendaal/"), "/usr/share/rendaal/help/rendaal.html");
    EXPECT_EQ(HelpUrl("/opt/r/help/rendaal.html", 11000), "file:///opt/r/help/rendaal.html#11000");
    EXPECT_EQ(HelpUrl("/opt/r/help/rendaal.html", 0), "file:///opt/r/help/rendaal.html");
    // Blanks and other bytes in a folder name stay a valid address.
    EXPECT_EQ(HelpUrl("/home/an de/#x/help/rendaal.html", 1000),
              "file:///home/an%20de/%23x/help/rendaal.html#1000");
}

TEST(HelpRouting, ShippedPageHasASectionForEveryContext) {
    test::ScopedEnv start("RENDAAL_START_FOLDER", "");
    const auto page = ReadFile(HelpPagePath(StartFolder()));
    ASSERT_TRUE(page);
    for (int context : {1000, 10000, 11000, 32050, 32150, 50000, 90000}) {
        const std::string id = "id=\"" + std::to_string(context) + "\"";
        EXPECT_NE(page->find(id), std::string::npos) << context;
    }
}

}  // namespace
}  // namespace rendaal
