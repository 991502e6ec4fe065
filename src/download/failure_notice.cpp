#include "download/failure_notice.h"

namespace rendaal {
namespace {

// How a run failed, without what changes from run to run (the page's garbled date, say).
std::string FailureKind(const RunResult& result) {
    return result.reason.empty() ? result.error : result.reason;
}

}  // namespace

std::string FailureMessage(const RunResult& result) {
    if (result.reason == kIndexUnreadableReason) {
        return std::string(kIndexUnreadableMessage) +
               "\n\nRendaal probeert het bij elke download opnieuw. Kan een nieuwere versie de "
               "pagina weer lezen, kies dan \"Herstel uit archief\" in het menu van de "
               "lijst.\n\n(" +
               result.error + ")";
    }
    if (result.reason == kFolderMissingReason || result.reason == kLockFailedReason) {
        return result.error +
               "\n\nControleer of de datamap bestaat en of u er mag schrijven; de volgende "
               "download probeert het opnieuw.";
    }
    return result.error +
           "\n\nControleer of de schijf vol is en of u het bestand mag schrijven; de volgende "
           "download probeert het opnieuw.";
}

std::optional<std::string> FailureNotices::After(const RunResult& result, bool byTimer) {
    if (result.outcome != RunOutcome::Error || result.error.empty()) {
        return std::nullopt;
    }
    const std::string kind = FailureKind(result);
    const bool same = kind == lastFailure_;
    lastFailure_ = kind;
    if (byTimer && same) {
        return std::nullopt;
    }
    return FailureMessage(result);
}

}  // namespace rendaal
