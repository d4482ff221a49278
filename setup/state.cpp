#include "setup/state.h"

SetupState g_setup;
const char kEmptyString[] = "";
