#include "history/conflict_copy.h"

#include <array>
#include <cctype>

namespace rendaal {
namespace {

// Each tool puts its mark between the file's stem and its extension. In a form, '#' is a digit
// '@' one or more letters and digits, and '*' one or more characters of any kind but '/'.
struct ConflictForm {
    SyncTool tool;
    std::string_view mark;
};

constexpr std::array kForms = {
    // name.sync-conflict-20261207-120000-ABCDEFG.csv
    ConflictForm{SyncTool::Syncthing, ".sync-conflict-########-######-@"},
    // name (conflicted copy 2026-12-07 120000).csv; ownCloud from 2.5 on as well
    ConflictForm{SyncTool::Nextcloud, " (conflicted copy ####-##-## ######)"},
    // name_conflict-20261207-120000.csv: ownCloud and Nextcloud clients before that
    ConflictForm{SyncTool::OwnCloud, "_conflict-########-######"},
    // name (Laptop's conflicted copy 2026-12-07).csv, a second one of that day with " (1)"
    ConflictForm{SyncTool::Dropbox, " (*'s conflicted copy ####-##-##)"},
    ConflictForm{SyncTool::Dropbox, " (*'s conflicted copy ####-##-## (*))"},
};

bool Matches(std::string_view form, std::string_view text) {
    if (form.empty()) {
        return text.empty();
    }
    if (form[0] == '*' || form[0] == '@') {
        const auto fits = [&](char c) {
            return form[0] == '*' ? c != '/' : std::isalnum(static_cast<unsigned char>(c)) != 0;
        };
        for (size_t n = 1; n <= text.size() && fits(text[n - 1]); ++n) {
            if (Matches(form.substr(1), text.substr(n))) {
                return true;
            }
        }
        return false;
    }
    if (text.empty()) {
        return false;
    }
    const bool same = form[0] == '#' ? text[0] >= '0' && text[0] <= '9' : form[0] == text[0];
    return same && Matches(form.substr(1), text.substr(1));
}

// One step: the mark ends where the extension begins (the last ".", or the name's end).
std::optional<ConflictCopyName> ParseOnce(std::string_view name) {
    const size_t dot = name.rfind('.');
    for (const size_t end : {dot, name.size()}) {
        if (end == std::string_view::npos || end == 0) {
            continue;
        }
        for (size_t begin = 1; begin < end; ++begin) {
            for (const ConflictForm& form : kForms) {
                if (name[begin] == form.mark[0] &&
                    Matches(form.mark, name.substr(begin, end - begin))) {
                    return ConflictCopyName{
                        std::string(name.substr(0, begin)) + std::string(name.substr(end)),
                        form.tool};
                }
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<ConflictCopyName> ParseConflictCopyName(std::string_view name) {
    std::optional<ConflictCopyName> copy = ParseOnce(name);
    // A conflict on a conflict copy nests the marks; names are short, so this ends.
    while (copy) {
        std::optional<ConflictCopyName> inner = ParseOnce(copy->original);
        if (!inner) {
            break;
        }
        copy->original = std::move(inner->original);
    }
    return copy;
}

}  // namespace rendaal
