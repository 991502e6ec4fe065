#include "app/overview_command.h"

#include <cstdio>
#include <optional>

#include "analytics/alerts.h"
#include "analytics/overview.h"
#include "analytics/rate_settings.h"
#include "analytics/report.h"
#include "app/chart_command.h"
#include "app/command_support.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "history/rows.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

constexpr const char* kUsage =
    "Gebruik: rendaal-sched --overview [--csv] [--rente X] [--dividend Y]\n"
    "         rendaal-sched --iv <koersbestand> [--csv] [--rente X] [--dividend Y]\n"
    "         rendaal-sched --iv <koersbestand> --chart --out <bestand.png> [--size BxH]\n"
    "                       [--rente X] [--dividend Y]\n"
    "         rendaal-sched --alerts [--csv]\n";

int Usage(const std::string& problem) {
    Complain(problem);
    std::fputs(kUsage, stderr);
    return 2;
}

struct Options {
    bool csv = false;
    bool chart = false;
    std::optional<std::string> out;
    ChartSize size{658, 474};
    std::optional<double> rente;
    std::optional<double> dividend;
    std::vector<std::string> operands;
};

// Empty with the message already given when the arguments are wrong.
std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--csv") {
            o.csv = true;
        } else if (a == "--chart") {
            o.chart = true;
        } else if (a == "--out" || a == "--size") {
            if (i + 1 >= args.size()) {
                Usage(a + " heeft een waarde nodig");
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (a == "--out") {
                o.out = value;
                continue;
            }
            const auto size = ParseChartSize(value);
            if (!size) {
                Usage("grootte moet BxH zijn, elk 1 tot " + std::to_string(kMaxChartSide) + ": " +
                      value);
                return std::nullopt;
            }
            o.size = *size;
        } else if (a == "--rente" || a == "--dividend") {
            if (i + 1 >= args.size()) {
                Usage(a + " heeft een waarde nodig");
                return std::nullopt;
            }
            const auto v = ParsePercent(args[++i]);
            if (!v) {
                Usage(a + " moet een percentage zijn (-100 tot 100): " + args[i]);
                return std::nullopt;
            }
            (a == "--rente" ? o.rente : o.dividend) = *v;
        } else if (a.starts_with("--")) {
            Usage("onbekende optie: " + a);
            return std::nullopt;
        } else {
            o.operands.push_back(a);
        }
    }
    return o;
}

// The stored rates, overridden by the options; a stored text that is not a number is reported
// only when it is used.
Rates RatesFor(const Options& o) {
    const SettingsStore settings;
    const RateSettings stored = ReadRateSettings(settings.file(), kSettingsKey);
    if (!o.rente && !stored.renteProblem.empty()) {
        Complain(stored.renteProblem);
    }
    if (!o.dividend && !stored.dividendProblem.empty()) {
        Complain(stored.dividendProblem);
    }
    return {o.rente.value_or(stored.rates.r), o.dividend.value_or(stored.rates.q)};
}

// A stored limit that is not a number in its range is reported on stderr.
AlertLimits StoredAlertLimits() {
    const SettingsStore settings;
    const AlertSettings s = ReadAlertSettings(settings.file(), kSettingsKey);
    for (const auto& problem : s.problems) {
        Complain(problem);
    }
    return s.limits;
}

void Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// The combinations of the rules file, or empty after saying why it cannot be read.
std::optional<std::vector<std::string>> ReadRulesOrSay(const std::string& folder) {
    const std::string rulesPath = folder + "Regels.dat";
    auto lines = IsRegularFile(rulesPath) ? LoadRules(rulesPath) : std::nullopt;
    if (!lines) {
        Complain("kan de combinaties niet lezen: " + rulesPath);
    }
    return lines;
}

}  // namespace

int RunOverviewCommand(const std::vector<std::string>& args) {
    const auto o = ParseOptions(args);
    if (!o) {
        return 2;
    }
    if (!o->operands.empty()) {
        return Usage("onbekend argument: " + o->operands.front());
    }
    if (o->chart || o->out) {
        return Usage("--chart en --out horen bij --iv");
    }
    const Rates rates = RatesFor(*o);
    const std::string folder = DataFolderFor("Rendaal");
    const auto lines = ReadRulesOrSay(folder);
    if (!lines) {
        return 1;
    }
    auto rows = LoadOverview(folder, *lines, rates, AmsterdamTimeOfLocal(AppClock().Now()));
    MarkAlerts(rows, EvaluateAlerts(rows, StoredAlertLimits(), {}).holding);
    Write(o->csv ? OverviewCsv(rows) : OverviewTable(rows));
    return 0;
}

int RunIvCommand(const std::vector<std::string>& args) {
    const auto o = ParseOptions(args);
    if (!o) {
        return 2;
    }
    if (o->operands.size() != 1) {
        return Usage(o->operands.empty() ? "geen koersbestand opgegeven"
                                         : "één koersbestand: " + o->operands[1]);
    }
    const std::string& argument = o->operands.front();
    const std::optional<NamedHistory> history = SplitHistoryArgument(argument);
    if (!history) {
        return Usage("geen geldige bestandsnaam: " + argument);
    }
    const std::string& name = history->name;
    if (o->chart != o->out.has_value() || (o->chart && o->csv)) {
        return Usage(o->chart && o->csv ? "--chart en --csv gaan niet samen"
                                        : "--chart en --out horen samen");
    }
    const HistoryArgumentText read = ReadHistoryArgument(*history);
    if (!read.text) {
        return read.exitCode;
    }
    const std::string& text = *read.text;
    const Rates rates = RatesFor(*o);
    const auto rows = IvHistory(name, ReadHistoryText(text), rates);
    if (o->chart) {
        return WriteIvChart(name, rows, *o->out, o->size);
    }
    Write(o->csv ? IvCsv(rows) : IvTable(rows));
    return 0;
}

int RunAlertsCommand(const std::vector<std::string>& args) {
    const auto o = ParseOptions(args);
    if (!o) {
        return 2;
    }
    if (!o->operands.empty() || o->rente || o->dividend) {
        return Usage("--alerts neemt alleen --csv");
    }
    const std::string folder = DataFolderFor("Rendaal");
    const auto lines = ReadRulesOrSay(folder);
    if (!lines) {
        return 1;
    }
    const AlertLimits limits = StoredAlertLimits();
    const Rates rates = ReadRateSettings(SettingsStore().file(), kSettingsKey).rates;
    const auto rows = LoadOverview(folder, *lines, rates, AmsterdamTimeOfLocal(AppClock().Now()));
    const auto alerts = EvaluateAlerts(rows, limits, {}).holding;
    Write(o->csv ? std::string(kAlertsCsvHeader) + "\r\n" + AlertsCsv(alerts)
                 : AlertsTable(alerts));
    return 0;
}

}  // namespace rendaal
