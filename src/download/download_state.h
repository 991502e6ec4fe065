#pragma once

#include <cstdint>
#include <string>

// The program-wide state of the quote download, owned by the download window.
namespace rendaal {

// The request window of a run, the lookup fields of one option and its found price.
struct TDataRec {
    int MonthFrom = 0;
    int YearFrom = 0;
    int MonthTill = 0;
    int YearTill = 0;
    int PriceFrom = 0;
    int PriceTill = 0;
    char OptionKind = 'P';
    double Strike = 0.0;
    int ExpiryMonth = 0;
    int ExpiryYear = 0;
    // May lie outside the month for weekly series; never matches a row then.
    int ExpiryDay = 0;
    double IndexValue = 0.0;
    std::string Price;
};

// A page as it was fetched, and from where.
struct FetchedPage {
    std::string url;
    std::string bytes;
};

struct DownloadState {
    TDataRec DataRec;
    // The option page of the last run, tags stripped; the add dialog reads it.
    std::string QuotePage;
    // The same page as it came (for the page archive).
    FetchedPage OptionPage;
    std::string IndexValueText;
    // The index page IndexValueText was read from, as it came (for the page archive).
    FetchedPage IndexPage;
    std::string PreviousIndexValueText;
    std::string IndexChangeText;
    std::string QuoteTimeText;
    std::string SeriesCode;
    std::string HistoryFileName;
    uint16_t PriceCount = 0;
    // The last text the run put in the status label.
    std::string StatusText;
};

}  // namespace rendaal
