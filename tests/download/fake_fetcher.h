#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "download/fetch.h"

namespace rendaal::test {

// Answers by the address's path prefix; a queue per prefix gives one body per request, the
// last body repeating. Keeps every request it saw.
class FakeFetcher final : public PageFetcher {
public:
    void Serve(const std::string& prefix, std::vector<std::string> bodies) {
        routes_[prefix] = std::deque<std::string>(bodies.begin(), bodies.end());
    }
    std::string Fetch(const FetchRequest& request) override {
        requests.push_back(request);
        for (auto& [prefix, bodies] : routes_) {
            if (request.url.rfind(prefix, 0) == 0 && !bodies.empty()) {
                std::string body = bodies.front();
                if (bodies.size() > 1) {
                    bodies.pop_front();
                }
                return body;
            }
        }
        return {};
    }
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override {
        const std::string body = Fetch(request);
        FetchStatus status;
        status.ok = !body.empty();
        if (status.ok) {
            onChunk(body, static_cast<int64_t>(body.size()));
            status.bytes = static_cast<int64_t>(body.size());
        }
        return status;
    }
    std::vector<FetchRequest> requests;

private:
    std::map<std::string, std::deque<std::string>> routes_;
};

inline const std::string kIndexBase = "http://index.test";
inline const std::string kOptionBase = "http://option.test";

// An index page in the site's row form.
inline std::string IndexPageHtml(const std::string& ddmmyy, const std::string& time,
                                 const std::string& level, const std::string& change) {
    return "<html><body><div>Bijgewerkt;" + ddmmyy + " " + time +
           "</div><a href=\"/\">HOME</a> | Markten<table><tr><td>AEX</td><td>" + level +
           "</td><td>(" + change + ")</td></tr></table></body></html>";
}

struct Row {
    char kind;
    std::string date;    // dd-mm-yyyy
    std::string strike;  // "400,00"
    std::string price;   // "12,35" or "--"
};

// An option page in the site's row form.
inline std::string OptionPageHtml(const std::vector<Row>& rows) {
    std::string page =
        "<html><body><table><tr><th>C/P</th><th>Afloopdatum</th><th>Uitoefenprijs</th>"
        "<th>Laatst</th><th>Bied</th></tr>\r\n";
    for (const Row& r : rows) {
        page += "<tr><td>" + std::string(1, r.kind) + "</td><td>" + r.date + "</td><td>" +
                r.strike + "</td><td>" + r.price + "</td><td>" + (r.price == "--" ? "--" : "1,00") +
                "</td></tr>\r\n";
    }
    return page + "</table></body></html>";
}

}  // namespace rendaal::test
