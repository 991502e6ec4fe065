#include "platform/http_client.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include "quotesim/quote_server.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using quotesim::Fault;
using quotesim::QuoteServer;

class HttpClient : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    FetchRequest Request(const std::string& path) {
        FetchRequest r;
        r.url = server.BaseUrl() + path;
        r.proxy = ProxyMode::Direct;
        return r;
    }
    test::ScopedEnv noProxy{"http_proxy", ""};
    test::ScopedEnv noProxyUpper{"HTTP_PROXY", ""};
    QuoteServer server;
    QtPageFetcher fetcher;
};

TEST_F(HttpClient, SendsTheAgentNameAndNoCacheOnReload) {
    server.AddFile("/a.txt", "hallo");
    FetchRequest r = Request("/a.txt");
    r.reload = true;
    EXPECT_EQ(fetcher.Fetch(r), "hallo");
    r.reload = false;
    EXPECT_EQ(fetcher.Fetch(r), "hallo");
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].userAgent, "Rendaal/1.10a Function: Download");
    EXPECT_EQ(seen[0].cacheControl, "no-cache");
    EXPECT_EQ(seen[1].cacheControl, "");
}

TEST_F(HttpClient, QueryIsSentByteForByte) {
    const std::string target =
        "/dft/koersen/opties/?xml=true&selind=12272+IND+AEX-index+355&first=Call/Put";
    EXPECT_FALSE(fetcher.Fetch(Request(target)).empty());
    EXPECT_EQ(server.RequestTargets(), std::vector<std::string>{target});
}

TEST_F(HttpClient, FaultsGiveNoPage) {
    const std::pair<Fault, bool> cases[] = {
        {Fault::EmptyBody, false},     {Fault::Http500, false}, {Fault::ResetMidBody, false},
        {Fault::EndlessBody, false},   {Fault::Delay, false},   {Fault::Garbage, true},
        {Fault::MissingMarkers, true}, {Fault::None, true},
    };
    for (const auto& [fault, page] : cases) {
        server.SetFault(fault);
        const std::string body = fetcher.Fetch(Request("/index.php?type=main"));
        EXPECT_EQ(!body.empty(), page) << quotesim::FaultName(fault);
        EXPECT_LE(body.size(), kMaxPageBytes);
    }
}

TEST_F(HttpClient, BodyBeyondTheBoundIsNoPage) {
    server.AddFile("/big", std::string(1 << 20, 'x'));
    FetchRequest r = Request("/big");
    r.maxBytes = (1 << 20) - 1;
    EXPECT_EQ(fetcher.Fetch(r), "");
    r.maxBytes = 1 << 20;
    EXPECT_EQ(fetcher.Fetch(r).size(), size_t{1} << 20);
}

TEST_F(HttpClient, RedirectsAreFollowedAFewTimesOnHttpOnly) {
    server.AddFile("/target", "doel");
    server.AddRedirect("/r1", "/target");
    server.AddRedirect("/r2", "/r1");
    server.AddRedirect("/r3", "/r2");
    server.AddRedirect("/r4", "/r3");
    server.AddRedirect("/ftp", "ftp://127.0.0.1/target");
    server.AddRedirect("/file", "file:///etc/passwd");
    EXPECT_EQ(fetcher.Fetch(Request("/r1")), "doel");
    EXPECT_EQ(fetcher.Fetch(Request("/r2")), "doel");
    EXPECT_EQ(fetcher.Fetch(Request("/r4")), "");
    EXPECT_EQ(fetcher.Fetch(Request("/ftp")), "");
    EXPECT_EQ(fetcher.Fetch(Request("/file")), "");
}

TEST_F(HttpClient, StreamingDeliversChunksAndCanStop) {
    const std::string body(300000, 'k');
    server.AddFile("/installer", body);
    std::string got;
    int64_t announced = 0;
    FetchStatus status =
        fetcher.FetchStream(Request("/installer"), [&](std::string_view c, int64_t total) {
            got.append(c);
            announced = total;
            return true;
        });
    EXPECT_TRUE(status.ok);
    EXPECT_EQ(got, body);
    EXPECT_EQ(announced, static_cast<int64_t>(body.size()));
    EXPECT_EQ(status.bytes, static_cast<int64_t>(body.size()));
    status =
        fetcher.FetchStream(Request("/installer"), [](std::string_view, int64_t) { return false; });
    EXPECT_FALSE(status.ok);
    EXPECT_TRUE(status.aborted);
}

TEST_F(HttpClient, RefusesWhatItMustNotFetch) {
    FetchRequest r = Request("/a");
    r.requireHttps = true;
    EXPECT_FALSE(fetcher.FetchStream(r, [](std::string_view, int64_t) { return true; }).ok);
    for (const char* url : {"ftp://127.0.0.1/a", "file:///etc/passwd", "", "http://"}) {
        r = Request("");
        r.url = url;
        EXPECT_EQ(fetcher.Fetch(r), "") << url;
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpClient, DirectIgnoresTheSystemProxyPreconfiguredUsesIt) {
    server.AddFile("/a", "a");
    // A proxy that does not answer.
    test::ScopedEnv proxy("http_proxy", "http://127.0.0.1:9");
    test::ScopedEnv noProxyList("no_proxy", "");
    FetchRequest r = Request("/a");
    EXPECT_EQ(fetcher.Fetch(r), "a");
    r.proxy = ProxyMode::Preconfigured;
    EXPECT_EQ(fetcher.Fetch(r), "");
}

// A certificate for 127.0.0.1 made for this test.
class HttpsClient : public ::testing::Test {
protected:
    void SetUp() override {
        cert = dir.folder() + "cert.pem";
        key = dir.folder() + "key.pem";
        const std::string cmd =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
            "-addext subjectAltName=IP:127.0.0.1 -keyout " +
            key + " -out " + cert + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) {
            GTEST_SKIP() << "openssl cannot make a test certificate";
        }
        ASSERT_TRUE(server.Start(0, cert, key));
        server.AddFile("/versions.dat", "1.10a\r\n");
    }
    test::TempDir dir;
    std::string cert;
    std::string key;
    QuoteServer server;
    QtPageFetcher fetcher;
};

TEST_F(HttpsClient, ChecksTheCertificate) {
    FetchRequest r;
    r.url = server.BaseUrl() + "/versions.dat";
    r.proxy = ProxyMode::Direct;
    r.requireHttps = true;
    EXPECT_EQ(fetcher.Fetch(r), "");  // not trusted
    r.extraCaPem = test::ReadAll(cert);
    EXPECT_EQ(fetcher.Fetch(r), "1.10a\r\n");
}

TEST_F(HttpsClient, NoRedirectFromHttpsToHttp) {
    QuoteServer plain;
    ASSERT_TRUE(plain.Start());
    plain.AddFile("/versions.dat", "plain");
    server.AddRedirect("/down", plain.BaseUrl() + "/versions.dat");
    FetchRequest r;
    r.url = server.BaseUrl() + "/down";
    r.proxy = ProxyMode::Direct;
    r.requireHttps = true;
    r.extraCaPem = test::ReadAll(cert);
    EXPECT_EQ(fetcher.Fetch(r), "");
    EXPECT_TRUE(plain.Requests().empty());
}

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

TEST(HttpClientWaiting, EventsAreServedWhileARequestWaits) {
    quotesim::ServerOptions options;
    options.delayMs = 400;
    QuoteServer server(options);
    ASSERT_TRUE(server.Start());
    server.SetFault(Fault::Delay);
    bool fired = false;
    QTimer::singleShot(50, [&fired] { fired = true; });
    QtPageFetcher fetcher;
    FetchRequest r;
    r.url = server.BaseUrl() + "/index.php?type=main";
    r.proxy = ProxyMode::Direct;
    EXPECT_FALSE(fetcher.Fetch(r).empty());
    EXPECT_TRUE(fired);
}

}  // namespace
}  // namespace rendaal
