#include "analytics/alerts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "analytics/rate_settings.h"
#include "analytics/report.h"
#include "core/fileio.h"

namespace rendaal {
namespace {

constexpr std::array kAlertNames = {std::string_view("winstdoel"), std::string_view("verliesgrens"),
                                    std::string_view("AEX bij break-even")};
constexpr const char* kEuroSign = "\xE2\x82\xAC";

// Figures come from two-decimal prices: a share of exactly 50 % must not miss a limit of 50 by
// a rounding error in the last bit.
bool AtLeast(double a, double b) {
    return a >= b - 1e-9 * std::max(1.0, std::fabs(b));
}

double ReadOne(const RegFile& file, std::string_view key, const AlertSetting& setting,
               std::vector<std::string>& problems) {
    const auto text = StoredSettingText(file, key, setting.name);
    if (!text) {
        return setting.fallback;
    }
    if (const auto v = ParseAlertSetting(*text, setting)) {
        return *v;
    }
    std::string message(1, '"');
    message.append(setting.name).append("\" is geen getal van ");
    message.append(AlertSettingText(setting.min, setting)).append(" tot ");
    message.append(AlertSettingText(setting.max, setting)).append(" (\"");
    message.append(*text).append("\"); ");
    message.append(AlertSettingText(setting.fallback, setting)).append(" wordt gebruikt.");
    problems.push_back(std::move(message));
    return setting.fallback;
}

// Dutch grouping: "2.247", "-1.234,50".
std::string DutchNumber(double v, int decimals) {
    std::string text = FormatFixed(v, decimals, ',');
    const size_t start = text.starts_with('-') ? 1 : 0;
    size_t end = text.find(',');
    if (end == std::string::npos) {
        end = text.size();
    }
    for (size_t i = end; i > start + 3; i -= 3) {
        text.insert(i - 3, 1, '.');
    }
    return text;
}

// Prices have two decimals: a Som below half a cent is no premium to divide by (0,000...01 made
// the loss multiple infinite), and one past a billion is no AEX option's.
std::optional<double> PositiveSom(const std::optional<double>& v) {
    return v && std::isfinite(*v) && *v >= 0.005 && *v <= 1e9 ? v : std::nullopt;
}

std::optional<double> Finite(const std::optional<double>& v) {
    return v && std::isfinite(*v) ? v : std::nullopt;
}

}  // namespace

std::string_view AlertName(AlertKind kind) {
    return kAlertNames[static_cast<size_t>(kind)];
}

std::optional<AlertKind> AlertKindNamed(std::string_view name) {
    for (size_t i = 0; i < kAlertNames.size(); ++i) {
        if (kAlertNames[i] == name) {
            return static_cast<AlertKind>(i);
        }
    }
    return std::nullopt;
}

std::optional<double> ParseAlertSetting(std::string_view text, const AlertSetting& setting) {
    std::string t;
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            t += c == ',' ? '.' : c;
        }
    }
    if (t.empty() || t.front() == '+' || t.size() > 32) {
        return std::nullopt;
    }
    double v = 0;
    const auto [end, ec] =
        std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v) || v < setting.min ||
        v > setting.max) {
        return std::nullopt;
    }
    return v;
}

std::string AlertSettingText(double value, const AlertSetting& setting) {
    std::string text = FormatFixed(value, 4, ',');
    const size_t keep = setting.name == kWinstdoelValue ? 0 : 1;  // "50" but "2,0"
    const size_t comma = text.find(',');
    while (text.size() > comma + 1 + keep && text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == ',') {
        text.pop_back();
    }
    return text;
}

AlertSettings ReadAlertSettings(const RegFile& file, std::string_view key) {
    AlertSettings s;
    s.limits.winstdoel = ReadOne(file, key, kWinstdoelSetting, s.problems);
    s.limits.verliesgrens = ReadOne(file, key, kVerliesgrensSetting, s.problems);
    s.limits.beMarge = ReadOne(file, key, kBeMargeSetting, s.problems);
    s.notify = file.ReadInteger(key, kMeldingenValue).value_or(1) != 0;
    return s;
}

std::string StoredAlertSettingText(const RegFile& file, std::string_view key,
                                   const AlertSetting& setting) {
    return StoredSettingText(file, key, setting.name)
        .value_or(AlertSettingText(setting.fallback, setting));
}

RowAlerts AlertsOf(const OverviewRow& row, const AlertLimits& limits) {
    RowAlerts out;
    auto make = [&row](AlertKind kind, double value, double limit) {
        Alert a;
        a.key = row.key;
        a.kind = kind;
        a.value = value;
        a.limit = limit;
        a.resultEur = Finite(row.resultEur);
        return a;
    };
    const auto first = PositiveSom(row.somFirst);
    const auto last = PositiveSom(row.somLast);
    if (first && last) {
        const double share = (*first - *last) / *first * 100;
        if (AtLeast(share, limits.winstdoel)) {
            out.holding.push_back(make(AlertKind::Winstdoel, share, limits.winstdoel));
        }
        if (AtLeast(*last, limits.verliesgrens * *first)) {
            out.holding.push_back(
                make(AlertKind::Verliesgrens, *last / *first, limits.verliesgrens));
        }
    } else {
        out.undecided.push_back(AlertKind::Winstdoel);
        out.undecided.push_back(AlertKind::Verliesgrens);
    }

    const auto s = row.aexLast;
    const bool hasSide =
        (row.beLow && std::isfinite(*row.beLow)) || (row.beHigh && std::isfinite(*row.beHigh));
    if (!s || !std::isfinite(*s) || !hasSide) {
        if (hasSide) {
            out.undecided.push_back(AlertKind::BreakEven);
        }
        return out;
    }
    struct Side {
        double breakEven;
        double level;
        bool low;
    };
    std::vector<Side> holds;
    if (row.beLow && std::isfinite(*row.beLow)) {
        const double level = *row.beLow * (1 + limits.beMarge / 100);
        if (AtLeast(level, *s)) {
            holds.push_back({*row.beLow, level, true});
        }
    }
    if (row.beHigh && std::isfinite(*row.beHigh)) {
        const double level = *row.beHigh * (1 - limits.beMarge / 100);
        if (AtLeast(*s, level)) {
            holds.push_back({*row.beHigh, level, false});
        }
    }
    if (!holds.empty()) {
        // With a wide margin both sides can hold: the nearer break-even is the one to name.
        const auto near = std::min_element(holds.begin(), holds.end(), [&](auto& a, auto& b) {
            return std::fabs(*s - a.breakEven) < std::fabs(*s - b.breakEven);
        });
        Alert a = make(AlertKind::BreakEven, *s, near->level);
        a.breakEven = near->breakEven;
        a.lowSide = near->low;
        out.holding.push_back(std::move(a));
    }
    return out;
}

AlertState ParseAlertState(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    AlertState state;
    for (const auto& line : SplitLines(text)) {
        const size_t semi = line.find(';');
        if (semi == 0 || semi == std::string::npos) {
            continue;
        }
        if (const auto kind = AlertKindNamed(std::string_view(line).substr(semi + 1))) {
            state.insert({line.substr(0, semi), *kind});
        }
    }
    return state;
}

std::string AlertStateText(const AlertState& state) {
    std::string out;
    for (const auto& held : state) {
        out.append(held.key).append(1, ';').append(AlertName(held.kind)).append("\r\n");
    }
    return out;
}

AlertState ReadAlertState(const std::string& path) {
    const FileRead read = ReadFileChecked(path, 1u << 20);
    return read.text ? ParseAlertState(*read.text) : AlertState{};
}

bool WriteAlertState(const std::string& path, const AlertState& state, std::string* error) {
    return WriteFileAtomic(path, AlertStateText(state), error);
}

AlertRound EvaluateAlerts(const std::vector<OverviewRow>& rows, const AlertLimits& limits,
                          const AlertState& previous) {
    AlertRound round;
    for (const auto& row : rows) {
        if (row.key.empty()) {
            continue;
        }
        RowAlerts r = AlertsOf(row, limits);
        for (auto& a : r.holding) {
            const HeldAlert held{a.key, a.kind};
            if (!previous.contains(held) && !round.next.contains(held)) {
                round.started.push_back(a);
            }
            round.next.insert(held);
            round.holding.push_back(std::move(a));
        }
        for (const AlertKind kind : r.undecided) {
            if (previous.contains({row.key, kind})) {
                round.next.insert({row.key, kind});
            }
        }
    }
    return round;
}

AlertPass RunAlertPass(const std::string& folder, const std::vector<OverviewRow>& rows,
                       const AlertLimits& limits, const AlertKeeping& keeping) {
    const std::string path = folder + std::string(kAlertStateFileName);
    const std::string& spare = keeping.sparePath;
    const bool spareUsed = !spare.empty() && FileExists(spare);
    const bool remembered = keeping.memory && keeping.memory->has_value();
    const AlertState previous = remembered  ? **keeping.memory
                                : spareUsed ? ReadAlertState(spare)
                                            : ReadAlertState(path);
    AlertPass pass;
    pass.round = EvaluateAlerts(rows, limits, previous);
    if (pass.round.next == previous && FileExists(path) && !spareUsed && !remembered) {
        return pass;
    }
    std::string error;
    if (WriteAlertState(path, pass.round.next, &error)) {
        if (spareUsed) {
            std::remove(spare.c_str());
        }
        if (keeping.memory) {
            keeping.memory->reset();
        }
        return pass;
    }
    if (spare.empty()) {
        pass.error = error;
        return pass;
    }
    const std::string why = "Signalen.dat kan niet worden bewaard (" + error + ")";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(spare).parent_path(), ec);
    if ((spareUsed && pass.round.next == previous && !remembered) ||
        WriteAlertState(spare, pass.round.next, nullptr)) {
        if (!spareUsed) {
            pass.error = why + "; de signalen worden bijgehouden in " + spare;
        }
        if (keeping.memory) {
            keeping.memory->reset();
        }
        return pass;
    }
    if (keeping.memory) {
        if (!remembered) {
            pass.error = why + ", ook niet in " + spare +
                         "; Rendaal onthoudt de signalen tot het wordt afgesloten";
        }
        *keeping.memory = pass.round.next;
        return pass;
    }
    pass.error = why + ", ook niet in " + spare +
                 "; nieuwe signalen worden niet gemeld, anders kwamen ze bij elke run opnieuw";
    pass.round.started.clear();
    return pass;
}

void MarkAlerts(std::vector<OverviewRow>& rows, const std::vector<Alert>& holding) {
    for (auto& row : rows) {
        row.alerts.clear();
        for (const auto& a : holding) {
            if (a.key == row.key && !row.key.empty()) {
                row.alerts.emplace_back(AlertName(a.kind));
            }
        }
    }
}

std::string AlertsCsv(const std::vector<Alert>& alerts) {
    std::string out;
    for (const auto& a : alerts) {
        out.append(CsvField(a.key)).append(1, ',').append(AlertName(a.kind)).append(1, ',');
        out.append(FormatFixed(a.value, 2)).append(1, ',').append(FormatFixed(a.limit, 2));
        out.append("\r\n");
    }
    return out;
}

std::string AlertsTable(const std::vector<Alert>& alerts) {
    if (alerts.empty()) {
        return "Geen signalen\n";
    }
    size_t keyWidth = 10;
    for (const auto& a : alerts) {
        keyWidth = std::max(keyWidth, a.key.size());
    }
    auto pad = [](const std::string& s, size_t w, bool right) {
        const std::string fill(s.size() < w ? w - s.size() : 0, ' ');
        return right ? fill + s : s + fill;
    };
    std::string out = pad("Combinatie", keyWidth, false) + "  " + pad("Signaal", 18, false) + "  " +
                      pad("Waarde", 9, true) + "  " + pad("Grens", 9, true) + "\n";
    for (const auto& a : alerts) {
        out += pad(a.key, keyWidth, false) + "  " + pad(std::string(AlertName(a.kind)), 18, false) +
               "  " + pad(FormatFixed(a.value, 2, ','), 9, true) + "  " +
               pad(FormatFixed(a.limit, 2, ','), 9, true) + "\n";
    }
    return out;
}

std::string AlertSummary(const Alert& alert) {
    return "Rendaal: " + alert.key;
}

std::string AlertBody(const Alert& alert) {
    std::string text;
    switch (alert.kind) {
        case AlertKind::Winstdoel:
            text = "Winstdoel bereikt: " + DutchNumber(alert.value, 0) + " % van de premie";
            if (alert.resultEur) {
                text +=
                    std::string(" (") + kEuroSign + " " + DutchNumber(*alert.resultEur, 0) + ")";
            }
            break;
        case AlertKind::Verliesgrens:
            text = "Verliesgrens bereikt: " + DutchNumber(alert.value, 2) + " \xC3\x97 de premie";
            if (alert.resultEur) {
                text += std::string(" (verlies ") + kEuroSign + " " +
                        DutchNumber(-*alert.resultEur, 0) + ")";
            }
            break;
        case AlertKind::BreakEven:
            text = "AEX bij break-even: AEX " + DutchNumber(alert.value, 2) + ", break-even " +
                   (alert.lowSide ? "laag " : "hoog ") +
                   DutchNumber(alert.breakEven.value_or(0), 2) + " (melding vanaf " +
                   DutchNumber(alert.limit, 2) + ")";
            break;
    }
    return text;
}

}  // namespace rendaal
