// A rules line's kind and strikes: the download, the charts (from the history file name) and the
// overview must read the same, or one of them quietly shows no figures for a combination the
// others handle.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analytics/overview.h"
#include "core/combination.h"
#include "download/option_page.h"
#include "history/rows.h"

namespace {

using rendaal::StrikeReading;

void Agree(bool same) {
    if (!same) {
        std::abort();
    }
}

void SameReading(const StrikeReading& a, const StrikeReading& b) {
    Agree(a.state == b.state && a.strike() == b.strike());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rendaal;
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find_first_of("\r\n"));
    const CombinationTerms terms = ReadTerms(line);
    const std::string name = HistoryFileName(line);

    const CombinationTerms named = ReadTermsOfFileName(name);
    Agree(named.kind == terms.kind);
    SameReading(named.put, terms.put);
    SameReading(named.call, terms.call);

    const ChartHeader header = ParseChartFileName(name);
    Agree(header.putValue == terms.put.strike().value_or(0));
    Agree(header.callValue == terms.call.strike().value_or(0));

    const OverviewRow row = OverviewOf(line, nullptr, Rates{}, DateTime{2026, 12, 7, 12, 0, 0, 0});
    Agree(row.kind == KindName(terms.kind));
    Agree(row.strikes.put == terms.put.strike() && row.strikes.call == terms.call.strike());

    // The download looks up each side at the strike the same reading gives.
    const KeyWords w = TermWords(line);
    TDataRec rec;
    if (SetLookupFields(rec, 'P', w.series, w.expiry, w.put, {2026, 12, 7})) {
        Agree(rec.Strike == terms.put.strike().value_or(0));
        SetLookupFields(rec, 'C', w.series, w.expiry, w.call, {2026, 12, 7});
        Agree(rec.Strike == terms.call.strike().value_or(0));
    }
    return 0;
}
