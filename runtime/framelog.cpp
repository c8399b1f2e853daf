#include "runtime/framelog.h"

namespace framelog {
bool on = false;
unsigned marks = 0;
} // namespace framelog
