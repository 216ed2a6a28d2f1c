// The command console.

#include "console/console.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "console/line_editor.h"
#include "console/line_reader.h"
#include "link/exchange.h"
#include "link/server_link.h"
#include "term/output.h"
#include "term/report.h"

namespace {

static_assert(MAX_COMMAND == 79, "TOO_LONG names the longest command");

constexpr char PROBE_COMMAND[] = "GET_VERSION";
constexpr const char* QUIT_WORDS[] = {"QUIT", "quit", "EXIT", "exit"};

/// True when the line, as typed, begins with a quit word.
bool is_quit(const CommandLine& line) {
  for (const char* word : QUIT_WORDS) {
    if (line.length >= 4 && memcmp(line.text, word, 4) == 0)
      return true;
  }
  return false;
}

/// Sends one command to its exchange and shows a single answer.
void send_command(const char* command) {
  if (is_streamed_command(command)) {
    exchange_stream(SERVER_HOST, command);
    return;
  }
  const char* answer = exchange_single(SERVER_HOST, command);
  if (answer == nullptr)
    return;  // no answer in time; the exchange has said so
  output_server_text(answer, strlen(answer));
  output_own("\n", 1);
}

/// Opens /dev/null on fd where it is closed; false when it was.
bool keep_open(int fd) {
  if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
    return true;
  int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0 && null != fd) {
    dup2(null, fd);
    close(null);
  }
  return false;
}

}  // namespace

int console_loop(int input_fd) {
  LineReader reader;
  line_reader_init(&reader, input_fd);
  bool editing = line_editor_start(input_fd, PROMPT);
  if (editing)
    set_interrupt_fd(line_editor_interrupt_fd());
  CommandLine line;
  for (;;) {
    LineStatus status;
    if (editing) {
      status = edit_command_line(&line);  // the editor shows the prompt
    } else {
      output_own_string(PROMPT);
      status = read_command_line(&reader, &line);
    }
    if (status == LINE_END)
      return 0;
    if (status == LINE_INTERRUPTED)
      continue;
    if (status == LINE_FAILED) {
      report_failure("Can't read standard input");
      return 0;
    }
    if (is_quit(line))
      return 0;
    if (status == LINE_TOO_LONG)
      report_error(TOO_LONG);
    else if (status == LINE_ZERO_BYTE)
      report_error(ZERO_BYTE);
    else if (line.length > 0)
      send_command(line.text);
    if (editing)
      line_editor_forget_interrupts();
  }
}

void run_console() {
  // No socket may take the place of a standard descriptor that was closed at
  // start: it would read commands from the network, or send the client's
  // words to the server. A closed input or output is still said as such.
  bool input_closed = !keep_open(0), output_closed = !keep_open(1);
  keep_open(2);
  output_start(!output_closed);
  if (exchange_single(SERVER_HOST, PROBE_COMMAND) == nullptr)
    exit_client(1);  // the server is there but does not answer
  output_own_string(BANNER);
  output_own("\n", 1);
  exit_client(console_loop(input_closed ? -1 : 0));
}
