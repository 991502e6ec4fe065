#include "app/scenario_command.h"

#include <cstdio>
#include <optional>

#include "analytics/rate_settings.h"
#include "analytics/scenario.h"
#include "app/chart_command.h"
#include "app/command_support.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/settings_values.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/scenario_render.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

int Usage(const std::string& problem) {
    Complain(problem);
    std::fputs(
        "Gebruik: rendaal-sched --scenario <koersbestand> [--csv] [--iv-shift N]\n"
        "                       [--out <bestand.png> [--size BxH]]\n",
        stderr);
    return 2;
}

std::optional<int> ParseShift(const std::string& text) {
    for (const int shift : kScenarioShifts) {
        if (text == std::to_string(shift) || (shift > 0 && text == "+" + std::to_string(shift))) {
            return shift;
        }
    }
    return std::nullopt;
}

}  // namespace

int RunScenarioCommand(const std::vector<std::string>& args) {
    std::optional<std::string> history;
    std::optional<std::string> out;
    std::optional<ChartSize> size;
    bool csv = false;
    int shift = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--csv") {
            csv = true;
        } else if (a == "--iv-shift" || a == "--out" || a == "--size") {
            if (i + 1 >= args.size()) {
                return Usage(a + " heeft een waarde nodig");
            }
            const std::string& value = args[++i];
            if (a == "--out") {
                out = value;
            } else if (a == "--size") {
                size = ParseChartSize(value);
                if (!size) {
                    return Usage("grootte moet BxH zijn, elk 1 tot " +
                                 std::to_string(kMaxChartSide) + ": " + value);
                }
            } else if (const auto s = ParseShift(value)) {
                shift = *s;
            } else {
                return Usage("--iv-shift moet -5, 0 of +5 zijn: " + value);
            }
        } else if (a.starts_with("--") || history) {
            return Usage("onbekende optie: " + a);
        } else {
            history = a;
        }
    }
    if (!history) {
        return Usage("geen koersbestand opgegeven");
    }
    if (size && !out) {
        return Usage("--size hoort bij --out");
    }
    if (out && out->empty()) {
        return Usage("geen uitvoerbestand opgegeven (--out)");
    }
    const std::optional<NamedHistory> named = SplitHistoryArgument(*history);
    if (!named) {
        return Usage("geen geldige bestandsnaam: " + *history);
    }
    const std::string& name = named->name;
    const HistoryArgumentText read = ReadHistoryArgument(*named);
    if (!read.text) {
        return read.exitCode;
    }
    const std::string& text = *read.text;
    const RateSettings rates = ReadRateSettings(SettingsStore().file(), kSettingsKey);
    for (const auto* problem : {&rates.renteProblem, &rates.dividendProblem}) {
        if (!problem->empty()) {
            Complain(*problem);
        }
    }
    const DateTime now = AmsterdamTimeOfLocal(AppClock().Now());
    const OverviewRow row = HistoryOverview(name, ReadHistoryText(text), rates.rates, now);
    const ScenarioGrid grid = ComputeScenario(ScenarioInputOf(row, now.date(), rates.rates), shift);
    if (!grid.problem.empty()) {
        Complain(grid.problem + ": " + named->folder + name);
        return 1;
    }
    if (!grid.note.empty()) {
        Complain(grid.note);
    }
    if (csv || !out) {
        const std::string table = csv ? ScenarioCsv(grid) : ScenarioTable(grid);
        std::fwrite(table.data(), 1, table.size(), stdout);
        std::fflush(stdout);
    }
    if (out) {
        const ChartSize s = size.value_or(ChartSize{1000, 640});
        const QImage image = RenderScenarioMap(grid, ScenarioTitle(name, shift), s.width, s.height);
        if (!SaveChartPng(image, *out)) {
            Complain("kan niet schrijven: " + *out);
            return 1;
        }
    }
    return 0;
}

}  // namespace rendaal
