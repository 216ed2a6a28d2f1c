// Line editing with libedit, where the build has it. libedit is loaded only
// when a person is at the terminal, so that piped and scripted runs start
// without it, and a machine without it reads lines plainly. The client reads
// no files of its own here either: no history file and no ~/.editrc.

#include "console/line_editor.h"

#include <string.h>

#include "link/output.h"

#ifdef ZENOTAR_HAVE_LIBEDIT

#include <dlfcn.h>
#include <histedit.h>
#include <stdio.h>
#include <unistd.h>

namespace {

constexpr int HISTORY_SIZE = 500;

/// The libedit functions the console uses, once loaded.
struct Libedit {
  decltype(&::el_init) el_init;
  decltype(&::el_set) el_set;
  decltype(&::el_gets) el_gets;
  decltype(&::history_init) history_init;
  decltype(&::history) history;
};
Libedit libedit;

/// Loads libedit and finds its functions; false when it is not there.
bool load_libedit() {
  void* library = dlopen(ZENOTAR_LIBEDIT_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    return false;
  libedit.el_init = reinterpret_cast<decltype(libedit.el_init)>(dlsym(library, "el_init"));
  libedit.el_set = reinterpret_cast<decltype(libedit.el_set)>(dlsym(library, "el_set"));
  libedit.el_gets = reinterpret_cast<decltype(libedit.el_gets)>(dlsym(library, "el_gets"));
  libedit.history_init =
      reinterpret_cast<decltype(libedit.history_init)>(dlsym(library, "history_init"));
  libedit.history = reinterpret_cast<decltype(libedit.history)>(dlsym(library, "history"));
  return libedit.el_init && libedit.el_set && libedit.el_gets && libedit.history_init &&
         libedit.history;
}

EditLine* editor = nullptr;
History* recalled = nullptr;
const char* editor_prompt = "";

const char* prompt_of(EditLine*) {
  return editor_prompt;
}

/// The keys operators expect of a shell, bound whatever the terminal's defaults.
void bind_keys() {
  const char* bindings[][2] = {
      {"^A", "ed-move-to-beg"},        {"^E", "ed-move-to-end"},
      {"^K", "ed-kill-line"},          {"^U", "em-kill-line"},
      {"^W", "ed-delete-prev-word"},   {"\\e[H", "ed-move-to-beg"},
      {"\\e[F", "ed-move-to-end"},     {"\\eOH", "ed-move-to-beg"},
      {"\\eOF", "ed-move-to-end"},     {"\\e[1~", "ed-move-to-beg"},
      {"\\e[4~", "ed-move-to-end"},    {"\\e[3~", "ed-delete-next-char"},
  };
  for (const auto& b : bindings)
    libedit.el_set(editor, EL_BIND, b[0], b[1], nullptr);
}

}  // namespace

bool line_editor_start(int fd, const char* prompt) {
  // The editor draws on standard output: with output going elsewhere, the
  // typed line would land in that file, so the terminal's own echo serves.
  if (isatty(fd) != 1 || isatty(1) != 1 || !load_libedit())
    return false;
  FILE* in = fdopen(dup(fd), "r");
  if (in == nullptr)
    return false;
  editor = libedit.el_init("zenotar-client", in, stdout, stderr);
  recalled = libedit.history_init();
  if (editor == nullptr || recalled == nullptr)
    return false;
  HistEvent event;
  libedit.history(recalled, &event, H_SETSIZE, HISTORY_SIZE);
  libedit.history(recalled, &event, H_SETUNIQUE, 1);
  editor_prompt = prompt;
  libedit.el_set(editor, EL_EDITOR, "emacs");
  libedit.el_set(editor, EL_PROMPT, prompt_of);
  libedit.el_set(editor, EL_HIST, libedit.history, recalled);
  bind_keys();
  return true;
}

LineStatus edit_command_line(CommandLine* line) {
  output_flush();
  int count = 0;
  const char* text = libedit.el_gets(editor, &count);
  clear_line(line);
  if (text == nullptr || count <= 0)
    return LINE_END;
  size_t size = static_cast<size_t>(count);
  if (text[size - 1] == '\n')
    --size;
  append_to_line(line, text, size);
  // Over-long lines are kept too, so that they can be recalled and shortened.
  static char stored[1024];
  if (size > 0 && size < sizeof stored) {
    memcpy(stored, text, size);
    stored[size] = '\0';
    HistEvent event;
    libedit.history(recalled, &event, H_ENTER, stored);
  }
  return line_status(*line);
}

#else  // no libedit: lines are read as from a pipe

bool line_editor_start(int, const char*) {
  return false;
}

LineStatus edit_command_line(CommandLine* line) {
  clear_line(line);
  return LINE_END;
}

#endif
