#include "analytics/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/text.h"

namespace rendaal {
namespace {

constexpr const char* kEuroSign = "\xE2\x82\xAC";

std::string Cell(const std::optional<double>& v, int decimals = 2, char sep = '.') {
    return FormatFixed(v, decimals, sep);
}

std::string Percent(const std::optional<double>& v, char sep = '.') {
    return v ? FormatFixed(*v * 100, 2, sep) : std::string();
}

std::string DmyOrEmpty(const std::optional<Date>& d) {
    return d ? FormatDmy(*d) : std::string();
}

std::string IsoOrEmpty(const std::optional<Date>& d) {
    return d ? FormatIsoDate(*d) : std::string();
}

// Characters, not bytes: "€" is one column wide.
size_t DisplayWidth(std::string_view s) {
    size_t n = 0;
    for (const char c : s) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return n;
}

std::string Table(const std::vector<TableColumn>& columns,
                  const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    widths.reserve(columns.size());
    for (const auto& c : columns) {
        widths.push_back(DisplayWidth(c.title));
    }
    for (const auto& r : rows) {
        for (size_t i = 0; i < r.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(r[i]));
        }
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string& cell = i < cells.size() ? cells[i] : std::string();
            const std::string pad(widths[i] - DisplayWidth(cell), ' ');
            if (i > 0) {
                out += "  ";
            }
            out += columns[i].number ? pad + cell : cell + pad;
        }
        while (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
        return out + "\n";
    };
    std::vector<std::string> titles;
    titles.reserve(columns.size());
    for (const auto& c : columns) {
        titles.emplace_back(c.title);
    }
    std::string out = line(titles);
    for (const auto& r : rows) {
        out += line(r);
    }
    return out;
}

}  // namespace

std::string FormatFixed(std::optional<double> value, int decimals, char separator) {
    if (!value || !std::isfinite(*value)) {
        return {};
    }
    char buf[400];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, *value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        return {};
    }
    std::string text(buf, end);
    if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);  // no "-0.00"
    }
    if (const auto p = text.find('.'); p != std::string::npos) {
        text[p] = separator;
    }
    return text;
}

std::string FormatIsoDate(const Date& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string JoinChecks(const std::vector<std::string>& checks) {
    std::string out;
    for (const auto& c : checks) {
        out += (out.empty() ? "" : "; ") + c;
    }
    return out;
}

std::string OverviewCsv(const std::vector<OverviewRow>& rows) {
    std::string out = std::string(kOverviewCsvHeader) + "\r\n";
    for (const auto& r : rows) {
        const std::string cells[] = {
            CsvField(r.key),
            r.kind,
            IsoOrEmpty(r.expiry),
            r.days ? std::to_string(*r.days) : std::string(),
            IsoOrEmpty(r.firstDate),
            IsoOrEmpty(r.lastDate),
            r.stale ? (*r.stale ? "1" : "0") : "",
            Cell(r.somFirst),
            Cell(r.somLast),
            Cell(r.resultEur),
            Cell(r.aexLast),
            Cell(r.intrinsic),
            Cell(r.timeValue),
            Cell(r.beLow),
            Cell(r.beHigh),
            Percent(r.ivPut),
            Percent(r.ivCall),
            CsvField(JoinChecks(r.checks)),
            Cell(r.risk.delta),
            Cell(r.risk.gamma, 4),
            Cell(r.risk.thetaDay),
            Cell(r.risk.vega),
            Cell(r.risk.pop),
            Cell(r.risk.em),
            CsvField(JoinChecks(r.alerts)),
        };
        bool firstCell = true;
        for (const auto& c : cells) {
            out += (firstCell ? "" : ",") + c;
            firstCell = false;
        }
        out += "\r\n";
    }
    return out;
}

std::string IvCsv(const std::vector<IvRow>& rows) {
    std::string out = std::string(kIvCsvHeader) + "\r\n";
    for (const auto& r : rows) {
        out += FormatIsoDate(r.date) + "," + Cell(r.aex) + "," + Cell(r.put) + "," + Cell(r.call) +
               "," + Percent(r.ivPut) + "," + Percent(r.ivCall) + "\r\n";
    }
    return out;
}

const std::vector<TableColumn>& OverviewColumns() {
    static const std::vector<TableColumn> columns = {
        {"Combinatie", false}, {"Soort", false},    {"Expiratie", false},
        {"Dagen", true},       {"Eerste", false},   {"Laatste", false},
        {"Oud", false},        {"Som eerst", true}, {"Som laatst", true},
        {"Resultaat €", true}, {"AEX", true},       {"Intrinsiek", true},
        {"Tijdwaarde", true},  {"BE laag", true},   {"BE hoog", true},
        {"IV put %", true},    {"IV call %", true}, {"Controle", false},
        {"Delta", true},       {"Gamma", true},     {"Theta/dag", true},
        {"Vega", true},        {"Kans %", true},    {"Verwachte beweging", true},
        {"Signalen", false},
    };
    return columns;
}

std::vector<std::string> OverviewCells(const OverviewRow& r) {
    return {
        r.key,
        r.kind,
        DmyOrEmpty(r.expiry),
        r.days ? std::to_string(*r.days) : std::string(),
        DmyOrEmpty(r.firstDate),
        DmyOrEmpty(r.lastDate),
        r.stale ? (*r.stale ? "ja" : "nee") : "",
        Cell(r.somFirst, 2, ','),
        Cell(r.somLast, 2, ','),
        Cell(r.resultEur, 2, ','),
        Cell(r.aexLast, 2, ','),
        Cell(r.intrinsic, 2, ','),
        Cell(r.timeValue, 2, ','),
        Cell(r.beLow, 2, ','),
        Cell(r.beHigh, 2, ','),
        Percent(r.ivPut, ','),
        Percent(r.ivCall, ','),
        JoinChecks(r.checks),
        Cell(r.risk.delta, 2, ','),
        Cell(r.risk.gamma, 4, ','),
        Cell(r.risk.thetaDay, 2, ','),
        Cell(r.risk.vega, 2, ','),
        Cell(r.risk.pop, 2, ','),
        Cell(r.risk.em, 2, ','),
        JoinChecks(r.alerts),
    };
}

std::string OverviewTable(const std::vector<OverviewRow>& rows) {
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const auto& r : rows) {
        cells.push_back(OverviewCells(r));
    }
    return Table(OverviewColumns(), cells);
}

std::string IvTable(const std::vector<IvRow>& rows) {
    static const std::vector<TableColumn> columns = {
        {"Datum", false}, {"AEX", true},      {"Put", true},
        {"Call", true},   {"IV put %", true}, {"IV call %", true},
    };
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const auto& r : rows) {
        cells.push_back({FormatDmy(r.date), Cell(r.aex, 2, ','), Cell(r.put, 2, ','),
                         Cell(r.call, 2, ','), Percent(r.ivPut, ','), Percent(r.ivCall, ',')});
    }
    return Table(columns, cells);
}

std::string TheoryHoverLines(const OverviewRow& row) {
    auto pct = [](const std::optional<double>& v) {
        return v ? FormatFixed(*v * 100, 2, ',') + " %" : std::string("-");
    };
    auto num = [](const std::optional<double>& v, int decimals) {
        return v ? FormatFixed(v, decimals, ',') : std::string("-");
    };
    return "  IV put   : " + pct(row.ivPut) + "\r" + "  IV call  : " + pct(row.ivCall) + "\r" +
           "  Tijdwaarde: " + kEuroSign + num(row.timeValue, 2) + "\r" +
           "  Delta    : " + num(row.risk.delta, 2) + "\r" +
           "  Gamma    : " + num(row.risk.gamma, 4) + "\r" + "  Theta/dag: " + kEuroSign +
           num(row.risk.thetaDay, 2) + "\r" + "  Vega     : " + num(row.risk.vega, 2) + "\r" +
           "  Kans     : " + (row.risk.pop ? num(row.risk.pop, 2) + " %" : std::string("-")) + "\r";
}

}  // namespace rendaal
