// Loading libedit by its soname, which the build found it under.

#include "console/editline_library.h"

#include <dlfcn.h>

Libedit libedit;

namespace {

template <typename Function>
bool find(void* library, const char* name, Function* function, const char** reason) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  if (*function == nullptr)
    *reason = dlerror();
  return *function != nullptr;
}

}  // namespace

bool load_libedit(const char** reason) {
  void* library = dlopen(ZENOTAR_LIBEDIT_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    *reason = dlerror();
    return false;
  }
  return find(library, "el_init", &libedit.el_init, reason) &&
         find(library, "el_set", &libedit.el_set, reason) &&
         find(library, "el_gets", &libedit.el_gets, reason) &&
         find(library, "el_wline", &libedit.el_wline, reason) &&
         find(library, "el_resize", &libedit.el_resize, reason) &&
         find(library, "history_init", &libedit.history_init, reason) &&
         find(library, "history", &libedit.history, reason);
}
