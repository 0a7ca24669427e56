// Hands the platform the program's icons at start-up, where no Windows
// resource section carries them.
#include "platform/resources.h"
#include "resources/icon.h"
#include "resources/resource_ids.h"

void RegisterIconResources(void) {
  IconImage image;
  if (!FindIconImage(IDI_HELICOID, &image)) return;  // said on stderr; the window has no icon
  platform::AddIconResource(IDI_HELICOID,
                            platform::IconPixels{image.width, image.height, image.rgba});
}
