#include "records/display_options.h"

// Fog and wireframe off; the tuning value half way.
DisplayOptionsRecord DisplayOptions = {0, 0, 0.55f};
