#include "app/app_state.h"

AppStateRecord AppState = {};
