#include "records/app_state.h"

AppStateRecord AppState = {};
