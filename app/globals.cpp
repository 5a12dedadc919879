#include "app/app.h"

AppState* appState = nullptr;
CBitButton* buttonTable = nullptr;
CRemoteParams* remoteParams = nullptr;
CLoaderWin* loader = nullptr;
CBrowserHost* browserHost = nullptr;
