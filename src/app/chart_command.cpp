#include "app/chart_command.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <optional>

#include "analytics/rate_settings.h"
#include "app/command_support.h"
#include "charts/chart_request.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/settings_values.h"
#include "core/text.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/settings_store.h"
#include "platform/theory_render.h"

namespace rendaal {
namespace {

int Usage(const std::string& problem) {
    Complain(problem);
    std::fprintf(stderr,
                 "Gebruik: rendaal-sched --chart <koersbestand> [--blokjes|--grafiek] [--apart] "
                 "[--size BxH] [--theorie [--theorie-dagen N]] --out <bestand.png>\n");
    return 2;
}

std::optional<int> Side(std::string_view s) {
    const auto v = ParseInteger(s);
    if (!v || *v < 1 || *v > kMaxChartSide) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
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

std::optional<ChartSize> ParseChartSize(const std::string& text) {
    const auto x = text.find('x');
    const auto w = x == std::string::npos ? std::nullopt : Side(text.substr(0, x));
    const auto h = x == std::string::npos ? std::nullopt : Side(text.substr(x + 1));
    if (!w || !h) {
        return std::nullopt;
    }
    return ChartSize{*w, *h};
}

int WriteIvChart(const std::string& fileName, const std::vector<IvRow>& rows,
                 const std::string& out, ChartSize size) {
    if (!EnsureGuiApplication()) {
        Complain("kan zonder grafische toepassing geen tekst tekenen");
        return 1;
    }
    if (std::string why;
        !SaveChartPng(RenderIvChart(fileName, rows, size.width, size.height), out, &why)) {
        Complain("kan niet schrijven: " + why);
        return 1;
    }
    return 0;
}

int RunChartCommand(const std::vector<std::string>& args) {
    std::optional<std::string> history;
    std::optional<std::string> out;
    ChartRequest request;
    bool theorie = false;
    int64_t theorieDagen = 0;
    bool dagenGiven = false;
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
        } else if (a == "--theorie-dagen") {
            const auto n = i + 1 < args.size() ? ParseInteger(args[i + 1]) : std::nullopt;
            if (!n || *n < 0 || *n > kMaxTheorieDagen) {
                return Usage("--theorie-dagen moet een heel aantal dagen zijn (0 tot " +
                             std::to_string(kMaxTheorieDagen) + ")");
            }
            theorieDagen = *n;
            dagenGiven = true;
            ++i;
        } else if (a == "--size" || a == "--out") {
            if (i + 1 >= args.size()) {
                return Usage(a + " heeft een waarde nodig");
            }
            const std::string& value = args[++i];
            if (a == "--out") {
                out = value;
                continue;
            }
            const auto size = ParseChartSize(value);
            if (!size) {
                return Usage("grootte moet BxH zijn, elk 1 tot " + std::to_string(kMaxChartSide) +
                             ": " + value);
            }
            request.width = size->width;
            request.height = size->height;
        } else if (a.starts_with("--") || history) {
            return Usage("onbekende optie: " + a);
        } else {
            history = a;
        }
    }
    if (!history) {
        return Usage("geen koersbestand opgegeven");
    }
    if (dagenGiven && !theorie) {
        return Usage("--theorie-dagen hoort bij --theorie");
    }
    if (!out || out->empty()) {
        return Usage("geen uitvoerbestand opgegeven (--out)");
    }

    const std::optional<NamedHistory> named = SplitHistoryArgument(*history);
    if (!named) {
        return Usage("geen geldige bestandsnaam: " + *history);
    }
    request.folder = named->folder;
    request.fileName = named->name;
    if (!FileExists(request.folder + request.fileName)) {
        Complain("koersbestand niet gevonden: " + request.folder + request.fileName);
        return 1;
    }
    if (!EnsureGuiApplication()) {
        Complain("kan zonder grafische toepassing geen tekst tekenen");
        return 1;
    }

    request.today = AppClock().Now().date();
    if (theorie) {
        const RateSettings rates = ReadRateSettings(SettingsStore().file(), kSettingsKey);
        for (const auto* problem : {&rates.renteProblem, &rates.dividendProblem}) {
            if (!problem->empty()) {
                Complain(*problem);
            }
        }
        if (!AddTheory(request, rates.rates, AppClock().Now(), theorieDagen)) {
            Complain("geen theorie: de laatste koersen geven geen volatiliteit");
        }
    }
    ChartState state;
    ChartOutputs outputs;
    const QImage image = RenderChart(request, state, outputs);
    if (outputs.l21) {
        Complain(*outputs.l21);
    }
    if (std::string why; !SaveChartPng(image, *out, &why)) {
        Complain("kan niet schrijven: " + why);
        return 1;
    }
    return 0;
}

}  // namespace rendaal
