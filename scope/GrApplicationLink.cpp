#include "scope/GrApplicationLink.h"

#include <cstdio>
#include <exception>

#include "toolkit/SysUtils.h"

void GrHandleException(TObject*) {
  try {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
  }
}

bool GrApplicationTerminated() { return false; }
