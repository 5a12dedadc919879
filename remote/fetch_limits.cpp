#include "remote/fetch_limits.h"

#ifdef KORVANE_QUICK_FETCH
// Short enough that a server which never finishes costs a test seconds, not
// minutes.
const FetchLimits kFetchLimits = {1000, 2500, 10};
#else
const FetchLimits kFetchLimits = {30000, 120000, 10};
#endif
