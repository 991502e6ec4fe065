#include "history/conflict_copy.h"

#include <gtest/gtest.h>

namespace rendaal {
namespace {

constexpr const char* kHistory = "Strangle_AEX_2703_00880.00_00960.00.csv";

TEST(ConflictCopyName, RealNamesOfEachToolAndForm) {
    const struct {
        const char* name;
        const char* original;  // nullptr: no conflict copy
        SyncTool tool = SyncTool::Syncthing;
    } cases[] = {
        {"Strangle_AEX_2703_00880.00_00960.00.sync-conflict-20261207-120000-ABCDEFG.csv", kHistory,
         SyncTool::Syncthing},
        {"Strangle_AEX_2703_00880.00_00960.00.sync-conflict-20261207-120000-ABCDEFG.bak",
         "Strangle_AEX_2703_00880.00_00960.00.bak", SyncTool::Syncthing},
        {"Regels.sync-conflict-20261207-081502-7Q3XKZL.dat", "Regels.dat", SyncTool::Syncthing},
        {"Strangle_AEX_2703_00880.00_00960.00 (conflicted copy 2026-12-07 120000).csv", kHistory,
         SyncTool::Nextcloud},
        {"Rendaal (conflicted copy 2026-12-07 093011).reg", "Rendaal.reg", SyncTool::Nextcloud},
        {"Strangle_AEX_2703_00880.00_00960.00_conflict-20261207-120000.csv", kHistory,
         SyncTool::OwnCloud},
        {"Strangle_AEX_2703_00880.00_00960.00 (Laptop's conflicted copy 2026-12-07).csv", kHistory,
         SyncTool::Dropbox},
        {"Strangle_AEX_2703_00880.00_00960.00 (J. de Vries's conflicted copy 2026-12-07 (1)).csv",
         kHistory, SyncTool::Dropbox},
        {"Signalen (Laptop's conflicted copy 2026-12-07).dat", "Signalen.dat", SyncTool::Dropbox},
        // A conflict on a conflict copy names the first original.
        {"Regels.sync-conflict-20261207-120000-ABCDEFG.sync-conflict-20261208-120000-HIJKLMN.dat",
         "Regels.dat", SyncTool::Syncthing},
        {"Strangle_AEX_2703_00880.00_00960.00.bak.onleesbaar.sync-conflict-20261207-120000-A.2",
         "Strangle_AEX_2703_00880.00_00960.00.bak.onleesbaar.2", SyncTool::Syncthing},
        // Look-alikes that are no conflict copy.
        {kHistory, nullptr},
        {"Strangle_AEX_2703_00880.00_00960.00.bak.onleesbaar.2", nullptr},
        {".sync-conflict-20261207-120000-ABCDEFG.csv", nullptr},
        {"x.sync-conflict-2026127-120000-ABCDEFG.csv", nullptr},
        {"x.sync-conflict-20261207-120000-.csv", nullptr},
        {"x (conflicted copy).csv", nullptr},
        {"x (conflicted copy 2026-12-07 1200).csv", nullptr},
        {"x (Laptop's conflicted copy 07-12-2026).csv", nullptr},
        {"x_conflict-20261207.csv", nullptr},
        {"notes about a (conflicted copy 2026-12-07 120000) case.txt", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseConflictCopyName(c.name);
        ASSERT_EQ(parsed.has_value(), c.original != nullptr);
        if (parsed) {
            EXPECT_EQ(parsed->original, c.original);
            EXPECT_EQ(parsed->tool, c.tool);
        }
    }
}

}  // namespace
}  // namespace rendaal
