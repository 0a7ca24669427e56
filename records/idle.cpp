#include "records/idle.h"

#include <stddef.h>

IdleCallback IdleHook = NULL;
IdleCallback RedrawCallback = NULL;

void ScheduleRedraw(void) {
  if (IdleHook == NULL) IdleHook = RedrawCallback;
}
