// The fetch limits of the shell the tests run: short enough that a server
// which never finishes costs a test seconds, not minutes.
#include "remote/fetch_limits.h"

const FetchLimits kFetchLimits = {1000, 2500, 10};
