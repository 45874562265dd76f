/* Authentication modules may be written in C: the engine's header, its layout checks
 * included, must compile as C too. */
#include "xrimpl.h"
