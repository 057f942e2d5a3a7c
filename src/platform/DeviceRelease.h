// The platform release, for the library's own choices between the keys of Windows Mobile 5 and
// those of earlier releases.
#pragma once

namespace kx {

// Sets `wm5` as HelpAPI::IsWM5 answers (a version that cannot be read counts as earlier); false
// when the device had no memory to tell, so that the caller fails rather than read the keys of
// the wrong release.
bool ReadIsWM5(bool* wm5);

}  // namespace kx
