#include "resources/icon.h"

// Replaced by the generated icon images.
bool FindIconImage(int, IconImage*) { return false; }
