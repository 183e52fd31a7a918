// The global SetupState reference (see setup_state.h).
#include "setup/setup_state.h"

SetupState* gSetupState = nullptr;
