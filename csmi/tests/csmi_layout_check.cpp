// Compiling this file in a 32- and a 64-bit build runs the header's layout checks in both.
#include <csmi.h>

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8);
