#include "analytics/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/money.h"
#include "core/text.h"

namespace rendaal {
namespace {

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
    using Id = OverviewColumnId;
    static const std::vector<TableColumn> columns = {
        {"Combinatie", false, Id::Key, "key",
         "De combinatie: serie, expiratie (JJMM) en de uitoefenprijs van put en call (\"Geen\": "
         "geen optie aan die kant). Enter of dubbelklik toont haar grafiek in het hoofdvenster."},
        {"Signalen", false, Id::Alerts, "alerts",
         "De signalen die nu gelden (winstdoel, verliesgrens, AEX bij break-even), met de grenzen "
         "uit Instellingen. De kolom staat er alleen als een rij een signaal heeft.",
         true},
        {"Resultaat €", true, Id::Result, "result_eur",
         "Resultaat van de verkochte combinatie in euro per contract (100 opties): (Som eerst - "
         "Som "
         "laatst) \xC3\x97 100. Positief is winst: terugkopen kost nu minder dan de verkoop "
         "opbracht. Hetzelfde bedrag als \"Winst Som\" in de grafiek."},
        {"Dagen", true, Id::Days, "days", "Kalenderdagen van vandaag tot de expiratiedatum."},
        {"Som laatst", true, Id::SomLast, "som_last",
         "Put + call op de laatste gedownloade dag, in euro per optie (een contract is 100 "
         "opties)."},
        {"AEX", true, Id::Aex, "aex_last",
         "Stand van de AEX-index bij de laatste gedownloade koersen, in indexpunten."},
        {"Kans %", true, Id::Pop, "pop",
         "Kans in procent dat de AEX op de expiratiedatum tussen BE laag en BE hoog eindigt, zodat "
         "de verkoper winst houdt. Model: Black-Scholes (lognormaal, risiconeutraal) met de IV van "
         "elke kant, Rente en Dividend."},
        {"BE laag", true, Id::BeLow, "be_low",
         "Break-even onder: uitoefenprijs put - Som eerst, in indexpunten. Eindigt de AEX op "
         "expiratie lager, dan maakt de verkoper verlies. Leeg zonder put."},
        {"BE hoog", true, Id::BeHigh, "be_high",
         "Break-even boven: uitoefenprijs call + Som eerst, in indexpunten. Eindigt de AEX op "
         "expiratie hoger, dan maakt de verkoper verlies. Leeg zonder call."},
        {"Verw. bew. ±pt", true, Id::Em, "em",
         "Verwachte beweging tot de expiratie: \xC3\xA9\xC3\xA9n standaardafwijking, AEX \xC3\x97 "
         "IV \xC3\x97 \xE2\x88\x9A(dagen / 365), in indexpunten omhoog of omlaag (IV: het "
         "gemiddelde "
         "van put en call). De AEX blijft met ongeveer 68 % kans binnen deze afstand."},
        {"Theta €/dag", true, Id::Theta, "theta_day",
         "Tijdsverval: wat de verkochte positie van \xC3\xA9\xC3\xA9n contract per kalenderdag "
         "wint "
         "als AEX en IV gelijk blijven, in euro. Positief is winst voor de verkoper. Model: "
         "Black-Scholes met Rente en Dividend."},
        {"Delta €/pt", true, Id::Delta, "delta",
         "Wat de verkochte positie van \xC3\xA9\xC3\xA9n contract wint (+) of verliest (-) als de "
         "AEX "
         "\xC3\xA9\xC3\xA9n punt stijgt, in euro per indexpunt. Model: Black-Scholes."},
        {"Vega €/vol%", true, Id::Vega, "vega",
         "Wat de verkochte positie van \xC3\xA9\xC3\xA9n contract wint (+) of verliest (-) als de "
         "IV "
         "van put en call \xC3\xA9\xC3\xA9n procentpunt stijgt, in euro. Meestal negatief: de "
         "verkoper verliest als de volatiliteit stijgt."},
        {"Gamma", true, Id::Gamma, "gamma",
         "Hoeveel Delta (euro per punt) verandert als de AEX \xC3\xA9\xC3\xA9n punt stijgt, voor "
         "de "
         "verkochte positie van \xC3\xA9\xC3\xA9n contract. Negatief: elke beweging van de AEX "
         "werkt tegen de verkoper."},
        {"IV put %", true, Id::IvPut, "iv_put",
         "Impliciete volatiliteit van de put in procent per jaar: de volatiliteit waarbij "
         "Black-Scholes (Europees, met Rente en Dividend) de laatste putprijs geeft, bij de AEX "
         "van "
         "die dag en kalenderdagen tot expiratie / 365. Leeg zonder put of als geen volatiliteit "
         "die prijs geeft."},
        {"IV call %", true, Id::IvCall, "iv_call",
         "Impliciete volatiliteit van de call in procent per jaar, zoals bij IV put %. Leeg zonder "
         "call of als geen volatiliteit die prijs geeft."},
        {"Tijdwaarde", true, Id::TimeValue, "time_value",
         "Som laatst - Intrinsiek, in euro per optie: het deel van de prijs dat tot de expiratie "
         "verdwijnt als de AEX blijft waar ze is."},
        {"Intrinsiek", true, Id::Intrinsic, "intrinsic",
         "Waarde op expiratie bij de laatste AEX: max(put - AEX, 0) + max(AEX - call, 0), in euro "
         "per optie (put en call: de uitoefenprijzen)."},
        {"Som eerst", true, Id::SomFirst, "som_first",
         "Put + call op de eerste gedownloade dag, in euro per optie: de premie waarvoor de "
         "combinatie werd verkocht."},
        {"Soort", false, Id::Kind, "kind",
         "Single (\xC3\xA9\xC3\xA9n optie), Straddle (put en call met dezelfde uitoefenprijs) of "
         "Strangle (verschillende uitoefenprijzen)."},
        {"Expiratie", false, Id::Expiry, "expiry",
         "Expiratiedatum: de vrijdag van de serie (AEX: de derde vrijdag van de maand)."},
        {"Eerste", false, Id::FirstDate, "first_date",
         "Datum van de eerste bruikbare regel in het koersbestand."},
        {"Laatste", false, Id::LastDate, "last_date",
         "Datum van de laatste bruikbare regel in het koersbestand."},
        {"Oud", false, Id::Stale, "stale",
         "\"ja\": het koersbestand mist de laatste handelsdag waarvan de slotkoers al bekend is "
         "(werkdagen vanaf 17:35). Zulke rijen staan schuin."},
        {"Controle", false, Id::Check, "check",
         "Wat niet klopt in de gegevens: een prijs onder de intrinsieke waarde, geen AEX-stand, "
         "een "
         "onleesbare regel of uitoefenprijs. De kolom staat er alleen als een rij iets meldt.",
         true},
    };
    return columns;
}

std::string OverviewCell(const OverviewRow& r, OverviewColumnId id) {
    auto money = [](const std::optional<double>& v, int decimals) {
        return v ? FormatMoney(*v, decimals) : std::string();
    };
    auto grouped = [](const std::optional<double>& v, int decimals) {
        return v ? FormatGrouped(*v, decimals) : std::string();
    };
    using Id = OverviewColumnId;
    switch (id) {
        case Id::Key:
            return r.key;
        case Id::Alerts:
            return JoinChecks(r.alerts);
        case Id::Result:
            return money(r.resultEur, 0);
        case Id::Days:
            return r.days ? std::to_string(*r.days) : std::string();
        case Id::SomLast:
            return money(r.somLast, 2);
        case Id::Aex:
            return grouped(r.aexLast, 2);
        case Id::Pop:
            return Cell(r.risk.pop, 2, ',');
        case Id::BeLow:
            return grouped(r.beLow, 2);
        case Id::BeHigh:
            return grouped(r.beHigh, 2);
        case Id::Em:
            return grouped(r.risk.em, 2);
        case Id::Theta:
            return grouped(r.risk.thetaDay, 2);
        case Id::Delta:
            return grouped(r.risk.delta, 2);
        case Id::Vega:
            return grouped(r.risk.vega, 2);
        case Id::Gamma:
            return Cell(r.risk.gamma, 4, ',');
        case Id::IvPut:
            return Percent(r.ivPut, ',');
        case Id::IvCall:
            return Percent(r.ivCall, ',');
        case Id::TimeValue:
            return money(r.timeValue, 2);
        case Id::Intrinsic:
            return money(r.intrinsic, 2);
        case Id::SomFirst:
            return money(r.somFirst, 2);
        case Id::Kind:
            return r.kind;
        case Id::Expiry:
            return DmyOrEmpty(r.expiry);
        case Id::FirstDate:
            return DmyOrEmpty(r.firstDate);
        case Id::LastDate:
            return DmyOrEmpty(r.lastDate);
        case Id::Stale:
            return r.stale ? (*r.stale ? "ja" : "nee") : "";
        case Id::Check:
            return JoinChecks(r.checks);
    }
    return {};
}

std::vector<std::string> OverviewCells(const OverviewRow& r) {
    std::vector<std::string> cells;
    for (const auto& c : OverviewColumns()) {
        cells.push_back(OverviewCell(r, c.id));
    }
    return cells;
}

std::optional<double> OverviewSortKey(const OverviewRow& r, OverviewColumnId id) {
    auto day = [](const std::optional<Date>& d) {
        return d ? std::optional<double>(static_cast<double>(DayNumber(*d))) : std::nullopt;
    };
    using Id = OverviewColumnId;
    switch (id) {
        case Id::Key:
        case Id::Alerts:
        case Id::Kind:
        case Id::Stale:
        case Id::Check:
            return std::nullopt;
        case Id::Result:
            return r.resultEur;
        case Id::Days:
            return r.days ? std::optional<double>(static_cast<double>(*r.days)) : std::nullopt;
        case Id::SomLast:
            return r.somLast;
        case Id::Aex:
            return r.aexLast;
        case Id::Pop:
            return r.risk.pop;
        case Id::BeLow:
            return r.beLow;
        case Id::BeHigh:
            return r.beHigh;
        case Id::Em:
            return r.risk.em;
        case Id::Theta:
            return r.risk.thetaDay;
        case Id::Delta:
            return r.risk.delta;
        case Id::Vega:
            return r.risk.vega;
        case Id::Gamma:
            return r.risk.gamma;
        case Id::IvPut:
            return r.ivPut;
        case Id::IvCall:
            return r.ivCall;
        case Id::TimeValue:
            return r.timeValue;
        case Id::Intrinsic:
            return r.intrinsic;
        case Id::SomFirst:
            return r.somFirst;
        case Id::Expiry:
            return day(r.expiry);
        case Id::FirstDate:
            return day(r.firstDate);
        case Id::LastDate:
            return day(r.lastDate);
    }
    return std::nullopt;
}

std::vector<OverviewColumnId> ColumnsNamed(std::string_view names) {
    std::vector<OverviewColumnId> ids;
    while (!names.empty()) {
        const size_t comma = std::min(names.find(','), names.size());
        std::string_view name = names.substr(0, comma);
        names.remove_prefix(std::min(comma + 1, names.size()));
        while (!name.empty() && name.front() == ' ') {
            name.remove_prefix(1);
        }
        while (!name.empty() && (name.back() == ' ' || name.back() == '\r')) {
            name.remove_suffix(1);
        }
        for (const auto& c : OverviewColumns()) {
            if (name == c.csv && std::find(ids.begin(), ids.end(), c.id) == ids.end()) {
                ids.push_back(c.id);
            }
        }
    }
    return ids;
}

std::string ColumnNames(const std::vector<OverviewColumnId>& ids) {
    std::string out;
    for (const auto& c : OverviewColumns()) {
        if (std::find(ids.begin(), ids.end(), c.id) != ids.end()) {
            out += (out.empty() ? "" : ",") + std::string(c.csv);
        }
    }
    return out;
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
    auto money = [](const std::optional<double>& v) {
        return v ? FormatMoney(*v, 2) : std::string("-");
    };
    auto num = [](const std::optional<double>& v, int decimals) {
        return v ? FormatFixed(v, decimals, ',') : std::string("-");
    };
    return "  IV put   : " + pct(row.ivPut) + "\r" + "  IV call  : " + pct(row.ivCall) + "\r" +
           "  Tijdwaarde: " + money(row.timeValue) + "\r" +
           "  Delta    : " + num(row.risk.delta, 2) + "\r" +
           "  Gamma    : " + num(row.risk.gamma, 4) + "\r" +
           "  Theta/dag: " + money(row.risk.thetaDay) + "\r" +
           "  Vega     : " + num(row.risk.vega, 2) + "\r" +
           "  Kans     : " + (row.risk.pop ? num(row.risk.pop, 2) + " %" : std::string("-")) + "\r";
}

}  // namespace rendaal
