#include "remote/fetch_limits.h"

const FetchLimits kFetchLimits = {30000, 120000, 10};
