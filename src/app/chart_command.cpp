#include "app/chart_command.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>

#include "analytics/rate_settings.h"
#include "charts/chart_request.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/settings_store.h"
#include "platform/theory_render.h"

namespace rendaal {
namespace {

void Complain(const std::string& text) {
    std::fprintf(stderr, "rendaal-sched: %s\n", text.c_str());
}

int Usage(const std::string& problem) {
    Complain(problem);
    std::fprintf(stderr,
                 "Gebruik: rendaal-sched --chart <koersbestand> [--blokjes|--grafiek] [--apart] "
                 "[--size BxH] [--theorie] --out <bestand.png>\n");
    return 2;
}

std::optional<int> Side(std::string_view s) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v < 1 ||
        v > kMaxChartSide) {
        return std::nullopt;
    }
    return v;
}

// Fonts need a GUI application object; a command run from a timer has none and no display.
bool EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    }
    static int argc = 3;
    static char arg0[] = "rendaal-sched";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static std::unique_ptr<QGuiApplication> app;
    app = std::make_unique<QGuiApplication>(argc, argv);
    return true;
}

}  // namespace

int RunChartCommand(const std::vector<std::string>& args) {
    std::optional<std::string> history;
    std::optional<std::string> out;
    ChartRequest request;
    bool theorie = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--blokjes") {
            request.blocks = true;
        } else if (a == "--grafiek") {
            request.blocks = false;
        } else if (a == "--apart") {
            request.separate = true;
        } else if (a == "--theorie") {
            theorie = true;
        } else if (a == "--size" || a == "--out") {
            if (i + 1 >= args.size()) {
                return Usage(a + " heeft een waarde nodig");
            }
            const std::string& value = args[++i];
            if (a == "--out") {
                out = value;
                continue;
            }
            const auto x = value.find('x');
            const auto w = x == std::string::npos ? std::nullopt : Side(value.substr(0, x));
            const auto h = x == std::string::npos ? std::nullopt : Side(value.substr(x + 1));
            if (!w || !h) {
                return Usage("grootte moet BxH zijn, elk 1 tot " + std::to_string(kMaxChartSide) +
                             ": " + value);
            }
            request.width = *w;
            request.height = *h;
        } else if (a.starts_with("--") || history) {
            return Usage("onbekende optie: " + a);
        } else {
            history = a;
        }
    }
    if (!history) {
        return Usage("geen koersbestand opgegeven");
    }
    if (!out || out->empty()) {
        return Usage("geen uitvoerbestand opgegeven (--out)");
    }

    const auto slash = history->rfind('/');
    if (slash == std::string::npos) {
        request.folder = DataFolderFor("Rendaal");
        request.fileName = *history;
    } else {
        request.folder = history->substr(0, slash + 1);
        request.fileName = history->substr(slash + 1);
    }
    if (!IsPlainFileName(request.fileName)) {
        return Usage("geen geldige bestandsnaam: " + *history);
    }
    if (!FileExists(request.folder + request.fileName)) {
        Complain("koersbestand niet gevonden: " + request.folder + request.fileName);
        return 1;
    }
    if (!EnsureGuiApplication()) {
        Complain("kan zonder grafische toepassing geen tekst tekenen");
        return 1;
    }

    request.today = AppClock().Now().date();
    ChartState state;
    ChartOutputs outputs;
    QImage image = RenderChart(request, state, outputs);
    if (theorie) {
        const RateSettings rates = ReadRateSettings(SettingsStore().file(), kSettingsKey);
        for (const auto* problem : {&rates.renteProblem, &rates.dividendProblem}) {
            if (!problem->empty()) {
                Complain(*problem);
            }
        }
        DrawTheoryOnImage(image, request, state, rates.rates, AppClock().Now());
    }
    if (outputs.l21) {
        Complain(*outputs.l21);
    }
    if (!SaveChartPng(image, *out)) {
        Complain("kan niet schrijven: " + *out);
        return 1;
    }
    return 0;
}

}  // namespace rendaal
