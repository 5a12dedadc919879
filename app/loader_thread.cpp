// The loader thread: the splash's three lookups, its picture, and the
// hand-shake that tells start-up the splash is up.
#include "app/app.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "common/dpi_scale.h"
#include "common/handles.h"
#include "controls/dpi.h"
#include "controls/loader_win.h"
#include "remote/remote_params.h"

namespace {
enum HandshakeState { kWaiting, kLoaderClaimed, kStartUpGaveUp };
std::atomic<int> handshakeState{kWaiting};
}  // namespace

bool LoaderClaims() {
    int waiting = kWaiting;
    return handshakeState.compare_exchange_strong(waiting, kLoaderClaimed);
}

bool StartUpGivesUp() {
    int waiting = kWaiting;
    return handshakeState.compare_exchange_strong(waiting, kStartUpGaveUp);
}

DWORD WINAPI LoaderThreadProc(LPVOID eventSlot) {
    HANDLE event = eventSlot ? *static_cast<HANDLE*>(eventSlot) : nullptr;

    if (!appState || !remoteParams) {
        SetEvent(event);
        return 0;
    }

    UniqueBitmap bitmap(remoteParams->LoadRemoteImage(kLoaderImageRule.name));
    // Start-up may have gone on without us while the image came in; then
    // nothing it shares may be touched, not even the event.
    if (!LoaderClaims()) return 0;
    // Drawn at 96 DPI, shown at the screen's, like everything of the skin.
    const int dpi = WindowDpi(nullptr);
    appState->loaderBitmap = RescalePicture(bitmap.release(), kBaseDpi, dpi);
    if (!appState->loaderBitmap) {
        SetEvent(event);
        return 0;
    }

    loader = new (std::nothrow) CLoaderWin;
    if (!loader) {
        SetEvent(event);
        return 0;
    }

    std::int32_t position[4] = {0, 0, 0, 0};
    // A single number is still wanted: it is the top.
    remoteParams->GetParamRect(kLoaderPosRule.name, position);

    char colour[kLoaderTextColourRule.capacity] = {};
    remoteParams->GetParamString(kLoaderTextColourRule.name, colour, sizeof colour);

    const ScreenPoint at = LoaderCorner(position, dpi);
    CreateAndRun(loader, appState->loaderBitmap, at.x, at.y, event, colour);
    return 0;
}
