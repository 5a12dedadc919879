// Start-up's pictures, asked for all at once as soon as the document is in,
// by a small pool of threads, and handed to LoadRemoteImage when start-up
// gets to each of them. Nothing else changes: each picture is still taken,
// decoded and reported at its own step, in the same order.
#pragma once
#include "remote/http_fetch.h"

class CRemoteParams;

// The most downloads at once from one server, as HTTP/1.1 browsers have it.
constexpr int kConnectionsPerServer = 6;

// Starts downloading every picture that start-up on doc will ask for (see
// StartupImages). Call once, before the loader thread starts.
void PrefetchStartupImages(CRemoteParams& doc);
// Start-up is over, or ends early: nothing more is sent, and the pictures
// nobody took are let go. Downloads under way are left to finish or to end
// with the process, which they never hold up.
void StopPrefetch();
// What GET url gave for the picture parameter name: the download started
// for it, once it has come, or else one made now.
FetchResult FetchImage(const char* name, const char* url);
