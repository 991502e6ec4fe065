#pragma once

namespace rendaal {

// The program's windows made of a plain widget would reach screen readers as a "filler"; from
// the first call on they are frames, as windows are.
void AnnounceWindowsAsFrames();

}  // namespace rendaal
