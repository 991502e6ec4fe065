#pragma once

#include <optional>
#include <string>

#include "download/download_run.h"

// One calm message when downloads fail: a run that fails as the last failed run did says so in
// the status line only, unless the user asked for it.
namespace rendaal {

inline constexpr std::string_view kIndexUnreadableMessage =
    "De indexpagina is niet te lezen; mogelijk is de site veranderd. Rendaal bewaart de "
    "pagina's, zodat de koersen later kunnen worden hersteld.";

// What happened and what to do, with the run's own error text last for a report.
std::string FailureMessage(const RunResult& result);

class FailureNotices final {
public:
    // The text of the box a finished run opens; empty when it opens none. A manual run always
    // has its box when it failed; a timer run only when it failed otherwise than the last
    // failed run.
    std::optional<std::string> After(const RunResult& result, bool byTimer);

private:
    std::string lastFailure_;
};

}  // namespace rendaal
