// libedit, loaded at run time: only a person at a terminal needs it, and a
// machine without it still runs the console, reading lines plainly.
#ifndef ZENOTAR_CONSOLE_EDITLINE_LIBRARY_H_
#define ZENOTAR_CONSOLE_EDITLINE_LIBRARY_H_

#include <histedit.h>

/// The libedit functions the console uses, once loaded.
struct Libedit {
  decltype(&::el_init) el_init;
  decltype(&::el_set) el_set;
  decltype(&::el_gets) el_gets;
  decltype(&::el_wline) el_wline;
  decltype(&::el_resize) el_resize;
  decltype(&::history_init) history_init;
  decltype(&::history) history;
};

/// The loaded functions; valid after load_libedit has succeeded.
extern Libedit libedit;

/// Loads libedit and finds its functions; false with the reason when it can't.
bool load_libedit(const char** reason);

#endif  // ZENOTAR_CONSOLE_EDITLINE_LIBRARY_H_
