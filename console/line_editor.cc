// Line editing with libedit, where the build has it. libedit is loaded only
// when a person is at the terminal, so that piped and scripted runs start
// without it, and a machine without it reads lines plainly. The client reads
// no files of its own here either: no history file and no ~/.editrc.
//
// While a line is edited the terminal sends Ctrl-C and Ctrl-Z as keys, not
// signals ("isig" is off in the editor's mode): Ctrl-C drops a half-typed
// line, or ends the client on an empty one; Ctrl-Z stops it with the
// terminal restored and redraws the line on resume. Keys are read here,
// beside the wake-up pipes of the terminal guard, so that a resize redraws
// the line at once and a signal from outside is seen at once.

#include "console/line_editor.h"

#include <string.h>

#include "term/output.h"
#include "term/report.h"

namespace {

constexpr char EDITING_OFF[] = "Line editing is off";

}  // namespace

#ifdef ZENOTAR_HAVE_LIBEDIT

#include <errno.h>
#include <histedit.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <wchar.h>

#include "console/editline_library.h"
#include "console/terminal.h"

namespace {

constexpr int HISTORY_SIZE = 500;

EditLine* editor = nullptr;
History* recalled = nullptr;
const char* editor_prompt = "";
int terminal = -1;
mbstate_t key_state;
bool line_interrupted = false;  ///< Ctrl-C dropped the line being typed

const char* prompt_of(EditLine*) {
  return editor_prompt;
}

/// Writes the editor's own text to the terminal, after what libedit wrote.
void say(const char* text) {
  fflush(stdout);
  write_all(1, text, strlen(text));
}

bool line_is_empty() {
  const LineInfoW* line = libedit.el_wline(editor);
  return line->lastchar == line->buffer;
}

/// Ctrl-C: an empty line ends the client as an interrupt does (status 130);
/// a half-typed one is dropped.
unsigned char interrupt_key(EditLine*, int) {
  say("^C\n");
  if (line_is_empty())
    terminal_end_by_signal(SIGINT, true);
  line_interrupted = true;
  return CC_EOF;
}

/// Ctrl-Z: stops the client; on resume the prompt and the line are redrawn.
unsigned char suspend_key(EditLine*, int) {
  say("^Z\n");
  terminal_suspend(true);
  terminal_take_events();  // the resume is redrawn here, once
  return CC_REDISPLAY;
}

unsigned char ignore_key(EditLine*, int) {
  return CC_NORM;
}

/// The keys operators expect of a shell, bound whatever the terminal's
/// defaults; keys the console has no use for insert nothing.
void bind_keys() {
  const char* bindings[][2] = {
      {"^A", "ed-move-to-beg"},      {"^E", "ed-move-to-end"},      {"^K", "ed-kill-line"},
      {"^U", "em-kill-line"},        {"^W", "ed-delete-prev-word"}, {"\\e[H", "ed-move-to-beg"},
      {"\\e[F", "ed-move-to-end"},   {"\\eOH", "ed-move-to-beg"},   {"\\eOF", "ed-move-to-end"},
      {"\\e[1~", "ed-move-to-beg"},  {"\\e[4~", "ed-move-to-end"},  {"\\e[3~", "ed-delete-next-char"},
      {"\\e[1;5D", "ed-prev-word"},  {"\\e[1;5C", "em-next-word"},  {"^C", "zenotar-interrupt"},
      {"^Z", "zenotar-suspend"},
  };
  for (const auto& b : bindings)
    libedit.el_set(editor, EL_BIND, b[0], b[1], nullptr);
  const char* unused[] = {"\\e[2~",  "\\e[5~",  "\\e[6~",  "\\eOP",   "\\eOQ",   "\\eOR",
                          "\\eOS",   "\\e[11~", "\\e[12~", "\\e[13~", "\\e[14~", "\\e[15~",
                          "\\e[17~", "\\e[18~", "\\e[19~", "\\e[20~", "\\e[21~", "\\e[23~",
                          "\\e[24~", "\\e[Z",   "\\e[[A",  "\\e[[B",  "\\e[[C",  "\\e[[D",
                          "\\e[[E",  "\\e[E",   "\\e[G"};
  for (const char* key : unused)
    libedit.el_set(editor, EL_BIND, key, "zenotar-ignore", nullptr);
}

/// Redraws the prompt and the line at the terminal's new width: back to
/// where the prompt begins (the terminal has rewrapped the line at the new
/// width), clear to the end of the screen, draw again.
void redraw_after_resize() {
  const LineInfoW* line = libedit.el_wline(editor);
  size_t column = strlen(editor_prompt);
  for (const wchar_t* c = line->buffer; c < line->cursor; ++c) {
    int width = wcwidth(*c);
    column += width >= 0 ? static_cast<size_t>(width) : 2;  // controls show as ^X
  }
  libedit.el_resize(editor);
  winsize size = {};
  size_t columns = ioctl(terminal, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  char back[48];
  size_t rows = column / columns;
  if (rows > 0)
    snprintf(back, sizeof back, "\r\x1b[%zuA\x1b[J", rows);
  else
    snprintf(back, sizeof back, "\r\x1b[J");
  say(back);
  libedit.el_set(editor, EL_REFRESH);
}

/// libedit's reader of keys: one character of the locale from the terminal,
/// while resizes, resumes and interrupts from outside are seen as they come.
int read_key(EditLine*, wchar_t* key) {
  for (;;) {
    if (terminal_drain(terminal_interrupt_fd())) {  // SIGINT sent from outside
      say("\n");
      if (line_is_empty())
        terminal_end_by_signal(SIGINT, false);
      line_interrupted = true;
      return -1;
    }
    TerminalEvents events = terminal_take_events();
    if (events.resized)
      redraw_after_resize();
    else if (events.continued)
      libedit.el_set(editor, EL_REFRESH);  // the shell has left the cursor on a new line
    pollfd ready[3] = {{terminal, POLLIN, 0},
                       {terminal_interrupt_fd(), POLLIN, 0},
                       {terminal_event_fd(), POLLIN, 0}};
    if (poll(ready, 3, -1) < 0 && errno != EINTR)
      return -1;
    if (ready[0].revents == 0)
      continue;
    char byte;
    ssize_t got = read(terminal, &byte, 1);
    if (got == 0)
      return 0;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN)
        continue;
      return -1;
    }
    size_t used = mbrtowc(key, &byte, 1, &key_state);
    if (used == static_cast<size_t>(-2))
      continue;  // the rest of the character is still to come
    if (used == static_cast<size_t>(-1)) {
      memset(&key_state, 0, sizeof key_state);  // no character of the locale
      continue;
    }
    return 1;
  }
}

/// Takes the character encoding from the locale, for the editor alone. A
/// locale that knows only ASCII (C, POSIX) could keep no other character, so
/// the editor reads UTF-8 there, as terminals send.
void choose_encoding() {
  setlocale(LC_CTYPE, "");
  if (strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0)
    setlocale(LC_CTYPE, "C.UTF-8");
}

bool set_up_editor(int fd, const char* prompt) {
  FILE* in = fdopen(dup(fd), "r");
  if (in == nullptr)
    return false;
  editor = libedit.el_init("zenotar-client", in, stdout, stderr);
  recalled = libedit.history_init();
  if (editor == nullptr || recalled == nullptr)
    return false;
  terminal = fileno(in);
  HistEvent event;
  libedit.history(recalled, &event, H_SETSIZE, HISTORY_SIZE);
  libedit.history(recalled, &event, H_SETUNIQUE, 1);
  editor_prompt = prompt;
  libedit.el_set(editor, EL_EDITOR, "emacs");
  libedit.el_set(editor, EL_PROMPT, prompt_of);
  libedit.el_set(editor, EL_HIST, libedit.history, recalled);
  libedit.el_set(editor, EL_GETCFN, read_key);
  libedit.el_set(editor, EL_SETTY, "-d", "-isig", nullptr);
  libedit.el_set(editor, EL_ADDFN, "zenotar-interrupt", "Drop the line, or end", interrupt_key);
  libedit.el_set(editor, EL_ADDFN, "zenotar-suspend", "Stop the client", suspend_key);
  libedit.el_set(editor, EL_ADDFN, "zenotar-ignore", "Insert nothing", ignore_key);
  bind_keys();
  return true;
}

}  // namespace

bool line_editor_start(int fd, const char* prompt) {
  // The editor draws on standard output: with output going elsewhere, the
  // typed line would land in that file, so the terminal's own echo serves.
  if (isatty(fd) != 1 || !output_is_terminal())
    return false;
  const char* reason = "";
  if (!load_libedit(&reason)) {
    report_reason(EDITING_OFF, reason);
    return false;
  }
  if (!terminal_guard_start(fd)) {
    report_failure(EDITING_OFF);
    return false;
  }
  choose_encoding();
  if (!set_up_editor(fd, prompt)) {
    report_reason(EDITING_OFF, "libedit could not be set up");
    return false;
  }
  return true;
}

int line_editor_interrupt_fd() {
  return terminal_interrupt_fd();
}

void line_editor_forget_interrupts() {
  terminal_drain(terminal_interrupt_fd());
}

LineStatus edit_command_line(CommandLine* line) {
  output_flush();
  terminal_take_events();
  line_interrupted = false;
  bind_keys();  // libedit binds the terminal's own keys again when they change
  int count = 0;
  const char* text = libedit.el_gets(editor, &count);
  clear_line(line);
  if (line_interrupted)
    return LINE_INTERRUPTED;
  if (text == nullptr || count <= 0) {
    say("\n");  // after Ctrl-D, whatever comes next starts on a line of its own
    return LINE_END;
  }
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

#include <unistd.h>

bool line_editor_start(int fd, const char*) {
  if (isatty(fd) == 1 && output_is_terminal())
    report_reason(EDITING_OFF, "built without libedit");
  return false;
}

int line_editor_interrupt_fd() {
  return -1;
}

void line_editor_forget_interrupts() {}

LineStatus edit_command_line(CommandLine* line) {
  clear_line(line);
  return LINE_END;
}

#endif
