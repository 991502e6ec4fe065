// quotesim: the loopback quote server as a program, for trying the program without the
// real sites (settings IndexUrl and OptionUrl pointed at it).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "quotesim/quote_server.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: quotesim --port N [--seed S] [--fault NAME] [--fault-target "
                 "both|index|option]\n"
                 "                [--quote-time HH:MM] [--cert FILE --key FILE]\n"
                 "Serves /index.php?type=main and /dft/koersen/opties/ on 127.0.0.1.\n"
                 "Faults: none empty 500 delay reset endless garbage nomarkers\n");
    return out == stderr ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace rendaal::quotesim;
    ServerOptions options;
    int port = -1;
    std::string cert;
    std::string key;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            return Usage(stdout);
        } else if (arg == "--port" && hasValue) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--seed" && hasValue) {
            options.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--fault" && hasValue) {
            const auto fault = ParseFault(argv[++i]);
            if (!fault) {
                std::fprintf(stderr, "quotesim: unknown fault %s\n", argv[i]);
                return 2;
            }
            options.fault = *fault;
        } else if (arg == "--fault-target" && hasValue) {
            const std::string t = argv[++i];
            options.faultTarget = t == "index"    ? FaultTarget::Index
                                  : t == "option" ? FaultTarget::Option
                                                  : FaultTarget::Both;
        } else if (arg == "--quote-time" && hasValue) {
            options.quoteTime = argv[++i];
        } else if (arg == "--cert" && hasValue) {
            cert = argv[++i];
        } else if (arg == "--key" && hasValue) {
            key = argv[++i];
        } else {
            return Usage(stderr);
        }
    }
    if (port < 0 || port > 65535) {
        return Usage(stderr);
    }
    QuoteServer server(options);
    if (!server.Start(port, cert, key)) {
        std::fprintf(stderr, "quotesim: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("quotesim: %s (AEX %s)\n", server.BaseUrl().c_str(),
                server.model().IndexText().c_str());
    std::fflush(stdout);
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.Stop();
    return 0;
}
