#pragma once

namespace ProcessPriority {
// Asks the operating system to schedule this process ahead of ordinary ones. Best effort: returns
// whether it was granted; a refusal (no privilege) is not an error.
bool raise();
} // namespace ProcessPriority
