// Line editing with libedit, where the build has it. The client reads no
// files of its own here either: no history file and no ~/.editrc.

#include "console/line_editor.h"

#include <string.h>

#include "link/output.h"

#ifdef ZENOTAR_HAVE_LIBEDIT

#include <histedit.h>
#include <stdio.h>
#include <unistd.h>

namespace {

constexpr int HISTORY_SIZE = 500;

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
    el_set(editor, EL_BIND, b[0], b[1], nullptr);
}

}  // namespace

bool line_editor_start(int fd, const char* prompt) {
  // The editor draws on standard output: with output going elsewhere, the
  // typed line would land in that file, so the terminal's own echo serves.
  if (isatty(fd) != 1 || isatty(1) != 1)
    return false;
  FILE* in = fdopen(dup(fd), "r");
  if (in == nullptr)
    return false;
  editor = el_init("zenotar-client", in, stdout, stderr);
  recalled = history_init();
  if (editor == nullptr || recalled == nullptr)
    return false;
  HistEvent event;
  history(recalled, &event, H_SETSIZE, HISTORY_SIZE);
  history(recalled, &event, H_SETUNIQUE, 1);
  editor_prompt = prompt;
  el_set(editor, EL_EDITOR, "emacs");
  el_set(editor, EL_PROMPT, prompt_of);
  el_set(editor, EL_HIST, history, recalled);
  bind_keys();
  return true;
}

LineStatus edit_command_line(CommandLine* line) {
  output_flush();
  int count = 0;
  const char* text = el_gets(editor, &count);
  line->length = 0;
  line->text[0] = '\0';
  if (text == nullptr || count <= 0)
    return LINE_END;
  size_t size = static_cast<size_t>(count);
  if (text[size - 1] == '\n')
    --size;
  size_t kept = size < COMMAND_LINE_SIZE - 1 ? size : COMMAND_LINE_SIZE - 1;
  memcpy(line->text, text, kept);
  line->text[kept] = '\0';
  line->length = kept;
  // Over-long lines are kept too, so that they can be recalled and shortened.
  static char stored[1024];
  if (size > 0 && size < sizeof stored) {
    memcpy(stored, text, size);
    stored[size] = '\0';
    HistEvent event;
    history(recalled, &event, H_ENTER, stored);
  }
  if (size > COMMAND_LINE_SIZE - 1)
    return LINE_TOO_LONG;
  return memchr(text, '\0', size) != nullptr ? LINE_ZERO_BYTE : LINE_COMMAND;
}

#else  // no libedit: lines are read as from a pipe

bool line_editor_start(int, const char*) {
  return false;
}

LineStatus edit_command_line(CommandLine* line) {
  line->length = 0;
  line->text[0] = '\0';
  return LINE_END;
}

#endif
