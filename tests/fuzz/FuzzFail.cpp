#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

void FuzzFail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}
