#include "update/installer_download.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <limits>

#include "core/fileio.h"
#include "support/test_support.h"
#include "update/version_list.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

// Hands over body in 2048-byte chunks and then ends as told.
class FakeTransport final : public UpdateTransport {
public:
    ListReply Get(const std::string&, size_t) override { return {}; }
    StreamOutcome Stream(const std::string&,
                         const std::function<bool(std::string_view)>& sink) override {
        ++streams;
        for (size_t pos = 0; pos < body.size(); pos += 2048) {
            if (!sink(std::string_view(body).substr(pos, 2048))) {
                return {false, true, "stopped by the receiver", FetchFailure::Stopped};
            }
        }
        return end;
    }
    std::string body = std::string(8192, 'x');
    StreamOutcome end{true, true, "", FetchFailure::None};
    int streams = 0;
};

class InstallerDownloadTest : public ::testing::Test {
protected:
    InstallerJob Job() {
        InstallerJob job;
        job.siteAddress = "https://127.0.0.1/";
        job.downloadName = "setup110b.exe";
        job.folder = dir.folder() + "Temp/";
        job.sizeKb = 8;
        job.sha256 = Digest(transport.body);
        return job;
    }
    std::string Digest(const std::string& bytes) {
        test::WriteAll(dir.folder() + "digest", bytes);
        return FileSha256(dir.folder() + "digest");
    }

    test::TempDir dir;
    FakeTransport transport;
};

TEST(InstallerLimits, GaugeAndByteLimit) {
    EXPECT_EQ(GaugeProgress(0, 2500), 1);
    EXPECT_EQ(GaugeProgress(2499, 2500), 2500);
    EXPECT_EQ(GaugeProgress(2500, 2500), 2500);
    EXPECT_EQ(GaugeProgress(5, 0), 0);
    EXPECT_GE(InstallerByteLimit(2500), 2560000);
    EXPECT_LT(InstallerByteLimit(2500), 4000000);
    EXPECT_GT(InstallerByteLimit(0), 0);
    // Whatever a list announces, the cap stays near the ceiling.
    EXPECT_EQ(InstallerByteLimit(std::numeric_limits<int32_t>::max()),
              InstallerByteLimit(kMaxInstallerKb));
    EXPECT_LT(InstallerByteLimit(kMaxInstallerKb), int64_t{300} << 20);
}

// The copy keeps what was checked whatever happens to the file afterwards; only a regular file
// within the bound is copied at all.
TEST(CheckedCopy, HoldsTheCheckedBytesAndRefusesOtherFiles) {
    test::TempDir dir;
    const std::string path = dir.folder() + "setup.exe";
    const std::string body = "#!/bin/sh\necho genuine\n" + std::string(100000, '#');
    struct Case {
        const char* name;
        std::function<void()> before;  // what is at the path when it is copied
        int64_t maxBytes;
        bool valid;
    };
    const Case cases[] = {
        {"just within the bound", [] {}, static_cast<int64_t>(body.size()), true},
        {"beyond the bound", [] {}, static_cast<int64_t>(body.size()) - 1, false},
        {"symlink",
         [&] {
             fs::rename(path, path + ".real");
             fs::create_symlink(path + ".real", path);
         },
         200000, false},
        {"FIFO",
         [&] {
             fs::remove(path);
             ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
         },
         200000, false},
    };
    for (const Case& c : cases) {
        fs::remove_all(path);
        fs::remove_all(path + ".real");
        test::WriteAll(path, body);
        c.before();
        CheckedCopy copy(path, c.maxBytes);
        ASSERT_EQ(copy.valid(), c.valid) << c.name;
        if (!c.valid) {
            continue;
        }
        EXPECT_EQ(copy.sha256(), FileSha256(path)) << c.name;
        // Rewritten in place, then replaced: the copy does not follow.
        test::WriteAll(path, "#!/bin/sh\necho swapped\n");
        test::WriteAll(path + ".new", "#!/bin/sh\necho swapped again\n");
        fs::rename(path + ".new", path);
        EXPECT_EQ(test::ReadAll(copy.ExecPath()), body) << c.name;
        EXPECT_TRUE(fs::status(copy.ExecPath()).permissions() == fs::perms::owner_all) << c.name;
    }
}

TEST(FileSha256, KnownDigestsAndUnreadableFiles) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "abc", "abc");
    EXPECT_EQ(FileSha256((dir.path() / "abc").string()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    test::WriteAll(dir.path() / "empty", "");
    EXPECT_EQ(FileSha256((dir.path() / "empty").string()),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(FileSha256(dir.folder() + "missing"), "");
    EXPECT_EQ(FileSha256(dir.folder()), "");  // a folder is no installer
}

TEST_F(InstallerDownloadTest, JobsThatCannotBeVerifiedRequestNothing) {
    const struct {
        const char* name;
        void (*change)(InstallerJob&);
        InstallerFailure failure;
    } cases[] = {
        {"plain http", [](InstallerJob& j) { j.siteAddress = "http://127.0.0.1/"; },
         InstallerFailure::NotVerified},
        {"no digest", [](InstallerJob& j) { j.sha256.clear(); }, InstallerFailure::NotVerified},
        {"name climbs out", [](InstallerJob& j) { j.downloadName = "../x.exe"; },
         InstallerFailure::NotVerified},
        {"above the ceiling", [](InstallerJob& j) { j.sizeKb = kMaxInstallerKb + 1; },
         InstallerFailure::TooLarge},
    };
    for (const auto& c : cases) {
        InstallerJob job = Job();
        c.change(job);
        InstallerDownload download(transport);
        EXPECT_EQ(download.Run(job).failure, c.failure) << c.name;
        EXPECT_EQ(transport.streams, 0) << c.name;
        EXPECT_FALSE(fs::exists(job.folder)) << c.name;
    }
}

TEST_F(InstallerDownloadTest, VerifiedFileReplacesTheEarlierInstallers) {
    InstallerJob job = Job();
    job.earlierName = "Rendaal1.10.exe";
    fs::create_directories(job.folder);
    test::WriteAll(job.folder + "Rendaal1.10.exe", "old");
    test::WriteAll(job.folder + "setup110b.exe", "half of an earlier try");
    std::vector<uint32_t> seen;
    InstallerDownload download(transport);
    const InstallerResult r = download.Run(job, [&](uint32_t kb) { seen.push_back(kb); });
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(r.path, job.folder + "setup110b.exe");
    EXPECT_EQ(test::ReadAll(r.path), transport.body);
    EXPECT_EQ(r.downloadedKb, 8u);
    EXPECT_EQ(seen, (std::vector<uint32_t>{2, 4, 6, 8}));
    EXPECT_EQ(fs::directory_iterator(job.folder)->path().filename(), "setup110b.exe");
    EXPECT_EQ(std::distance(fs::directory_iterator(job.folder), fs::directory_iterator()), 1);
}

TEST_F(InstallerDownloadTest, FailuresLeaveNoFileAndSayWhy) {
    const struct {
        const char* name;
        StreamOutcome end;
        InstallerFailure failure;
    } cases[] = {
        {"certificate",
         {false, false, "handshake", FetchFailure::Certificate},
         InstallerFailure::CertificateRefused},
        {"redirect to http",
         {false, false, "refused", FetchFailure::Refused},
         InstallerFailure::NotVerified},
        {"time-out", {false, true, "slow", FetchFailure::TimedOut}, InstallerFailure::TimedOut},
        {"reset",
         {false, true, "reset", FetchFailure::ConnectionLost},
         InstallerFailure::ConnectionLost},
        {"HTTP 404", {false, true, "404", FetchFailure::HttpStatus}, InstallerFailure::NotReceived},
        {"whole but unchecked",
         {true, false, "", FetchFailure::None},
         InstallerFailure::NotVerified},
    };
    for (const auto& c : cases) {
        transport.end = c.end;
        InstallerDownload download(transport);
        const InstallerResult r = download.Run(Job());
        EXPECT_EQ(r.failure, c.failure) << c.name;
        EXPECT_FALSE(fs::exists(Job().folder)) << c.name;
    }
}

TEST_F(InstallerDownloadTest, TheWindowClosingCancelsAtTheNextChunk) {
    transport.body = std::string(100000, 'x');
    InstallerJob job = Job();
    job.sizeKb = 98;
    InstallerDownload download(transport);
    const InstallerResult r = download.Run(job, [&](uint32_t kb) {
        if (kb >= 10) {
            download.Cancel();
        }
    });
    EXPECT_EQ(r.failure, InstallerFailure::Cancelled);
    EXPECT_EQ(r.downloadedKb, 10u);
    EXPECT_FALSE(fs::exists(job.folder));
    // The next run starts afresh.
    EXPECT_TRUE(download.Run(job).ok());
}

TEST_F(InstallerDownloadTest, AFolderThatCannotTakeTheFileSaysSo) {
    InstallerJob job = Job();
    test::WriteAll(dir.folder() + "Temp", "a file where the folder should be");
    InstallerDownload download(transport);
    EXPECT_EQ(download.Run(job).failure, InstallerFailure::NotSaved);
    EXPECT_EQ(test::ReadAll(dir.folder() + "Temp"), "a file where the folder should be");

    // A disk that fills up halfway: the part written so far goes too; other files stay.
    fs::remove(dir.folder() + "Temp");
    fs::create_directories(job.folder);
    test::WriteAll(job.folder + "notes.txt", "mine");
    transport.body = std::string(600 * 1024, 'x');
    job.sizeKb = 600;
    job.sha256 = Digest(transport.body);
    SetFaultHook([](FileOp op, std::string_view) { return op == FileOp::Write; });
    const InstallerResult r = download.Run(job);
    SetFaultHook({});
    EXPECT_EQ(r.failure, InstallerFailure::NotSaved);
    EXPECT_EQ(std::distance(fs::directory_iterator(job.folder), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace rendaal
