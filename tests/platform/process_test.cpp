#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/shell.h"
#include "support/test_support.h"

extern char** environ;

namespace rendaal {
namespace {

namespace fs = std::filesystem;

// A copy of sleep under the given name, running until ended.
class Sleeper final {
public:
    Sleeper(const fs::path& folder, const std::string& name, bool ignoreTerm = false) {
        fs::create_directories(folder);
        path_ = fs::canonical(folder).string() + "/" + name;
        if (!fs::exists(path_)) {  // a running copy cannot be overwritten
            fs::copy_file(ignoreTerm ? "/bin/sh" : "/bin/sleep", path_);
        }
        std::string a0 = name, a1 = ignoreTerm ? "-c" : "30",
                    a2 = "trap '' TERM; while :; do sleep 1; done";
        char* argv[] = {a0.data(), a1.data(), ignoreTerm ? a2.data() : nullptr, nullptr};
        if (posix_spawn(&pid_, path_.c_str(), nullptr, nullptr, argv, environ) != 0) {
            pid_ = 0;
        }
        // Wait until the child runs the copied program (exec has happened).
        for (int i = 0; i < 200 && ProcessExecutable(pid_) != path_; ++i)
            usleep(5000);
        for (int i = 0; ignoreTerm && i < 400 && !IgnoresTerm(); ++i)
            usleep(5000);
    }
    ~Sleeper() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool IgnoresTerm() const {
        const std::string status = test::ReadAll("/proc/" + std::to_string(pid_) + "/status");
        const size_t at = status.find("SigIgn:\t");
        return at != std::string::npos &&
               (std::stoull(status.substr(at + 8, 16), nullptr, 16) & (1ull << (SIGTERM - 1)));
    }
    bool Ended() {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            return true;
        }
        return false;
    }
    pid_t pid() const { return pid_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    pid_t pid_ = 0;
};

TEST(Process, FindsByFullPathOnly) {
    test::TempDir dir;
    Sleeper here(dir.path() / "bin", "rendaal-sched");
    Sleeper elsewhere(dir.path() / "other", "rendaal-sched");
    ASSERT_GT(here.pid(), 0);
    EXPECT_EQ(ProcessExecutable(here.pid()), here.path());
    EXPECT_EQ(FindProcessByPath("  " + here.path() + " "), here.pid());
    EXPECT_FALSE(FindProcessByPath(dir.folder() + "bin/RENDAAL-SCHED").has_value());
    EXPECT_FALSE(FindProcessByPath(dir.folder() + "bin/missing").has_value());
    EXPECT_FALSE(FindProcessByPath("").has_value());

    const EndResult r = EndProcesses(here.path());
    EXPECT_EQ(r.ended, 1);
    EXPECT_EQ(r.stubborn, 0);
    EXPECT_TRUE(here.Ended());
    EXPECT_FALSE(elsewhere.Ended()) << "a program of the same name in another folder was ended";
}

TEST(Process, EndsEveryCopyAndNothingWhenNoneRuns) {
    test::TempDir dir;
    EXPECT_EQ(EndProcesses(dir.folder() + "rendaal-sched").ended, 0);
    Sleeper a(dir.path(), "rendaal-sched");
    Sleeper b(dir.path(), "rendaal-sched");
    int idles = 0;
    EXPECT_EQ(EndProcesses(a.path(), [&] { ++idles; }).ended, 2);
    EXPECT_GT(idles, 0);
    EXPECT_TRUE(a.Ended());
    EXPECT_TRUE(b.Ended());
}

TEST(Process, AProcessThatIgnoresTheSignalIsGivenUpAfterTheTries) {
    test::TempDir dir;
    Sleeper stubborn(dir.path(), "rendaal-sched", true);
    const EndResult r = EndProcesses(stubborn.path(), {}, 5, 10);
    EXPECT_EQ(r.ended, 0);
    EXPECT_EQ(r.stubborn, 1);
    EXPECT_FALSE(stubborn.Ended());
}

TEST(Shell, OpenerAndStarterCanBeReplaced) {
    std::vector<std::string> urls;
    SetUrlOpener([&](const std::string& url) {
        urls.push_back(url);
        return false;
    });
    EXPECT_FALSE(OpenUrl("https://www.rendaal.example/"));
    SetUrlOpener({});
    EXPECT_EQ(urls, std::vector<std::string>{"https://www.rendaal.example/"});
    EXPECT_EQ(PercentEncode("Rendaal, versie 1.10a\r\n~é"),
              "Rendaal%2C%20versie%201.10a%0D%0A~%C3%A9");
}

TEST(Shell, MakerSiteFromTheSettings) {
    test::TempDir dir;
    SettingsStore store(dir.folder() + "Rendaal.reg");
    MakerSite site = ReadMakerSite(store);
    EXPECT_EQ(site.siteUrl, kDefaultSiteUrl);
    EXPECT_EQ(site.mailAddress, kDefaultMailAddress);
    store.Write([](RegFile& f) {
        f.SetString(kSettingsKey, "SiteUrl", "https://127.0.0.1:8443/rendaal");
        f.SetString(kSettingsKey, "MailAddress", "iemand@example.org");
    });
    site = ReadMakerSite(store);
    EXPECT_EQ(site.siteUrl, "https://127.0.0.1:8443/rendaal/");
    EXPECT_EQ(site.mailAddress, "iemand@example.org");
}

}  // namespace
}  // namespace rendaal
