// The client in tmux, under an interactive dash with job control: Ctrl-Z
// and fg with a half-typed line, and a window resized in the middle of one.
// What the pane shows is compared with what the server receives.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reference.h"
#include "tests/run_client.h"
#include "tests/script_server.h"
#include "tests/terminal_session.h"
#include "tests/wait.h"

namespace {

#if ZENOTAR_EDITING

const std::string PROMPT = CLIENT_PROMPT;
/// The prompt as a row of the pane shows it, its last blank trimmed.
const std::string PROMPT_ROW = "Enter command, or QUIT to exit >>";

/// A tmux server of the test's own, with one pane running an interactive dash.
struct Pane {
  static inline int made = 0;
  std::string socket = "zenotar-test-" + std::to_string(getpid()) + "-" + std::to_string(++made);
  std::string dir = "/tmp/" + socket;

  std::string tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-L", socket, "-f", "/dev/null"});
    int status;
    return program_output(args, &status);
  }
  void start() {
    mkdir(dir.c_str(), 0700);
    tmux({"new-session", "-d", "-s", "t", "-x", "100", "-y", "30",
          "env -i PATH=/usr/bin:/bin TERM=xterm HOME=" + dir + " PS1='$ ' dash -i"});
  }
  void keys(const std::string& literal) { tmux({"send-keys", "-t", "t", "-l", literal}); }
  void key(const std::string& name) { tmux({"send-keys", "-t", "t", name}); }
  void line(const std::string& command) {
    keys(command);
    key("Enter");
  }
  /// The pane's rows, as shown.
  std::vector<std::string> rows() {
    std::istringstream text(tmux({"capture-pane", "-t", "t", "-p"}));
    std::vector<std::string> all;
    for (std::string row; std::getline(text, row);)
      all.push_back(row.substr(0, row.find_last_not_of(' ') + 1));
    while (!all.empty() && all.back().empty())
      all.pop_back();
    return all;
  }
  /// Waits until the pane's last non-empty row is last.
  bool wait_for_last_row(const std::string& last) {
    return wait_until([&] {
      std::vector<std::string> shown = rows();
      return !shown.empty() && shown.back() == last;
    });
  }
  /// Starts the client against port, with the services entry, in the pane.
  void start_client(int port) {
    std::string preload;
    for (const std::string& e : fake_services_env(port))
      preload += e + " ";
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
      if (const char* value = getenv(name))  // a sanitized build needs them in the pane too
        preload += std::string(name) + "=" + value + " ";
    }
    line("stty -a > " + dir + "/before; " + preload + client_path() + "; stty -a > " + dir + "/after");
  }
  std::string file(const std::string& name) { return read_text_file(dir + "/" + name); }
  ~Pane() {
    tmux({"kill-server"});
    for (const char* name : {"before", "stopped", "after"})
      unlink((dir + "/" + name).c_str());
    rmdir(dir.c_str());
  }
};

/// A scripted server that is stopped however the test ends.
struct Server : ScriptServer {
  ~Server() {
    if (thread.joinable())
      stop_script_server(this);
  }
};

/// text as rows of width columns.
std::vector<std::string> wrapped(const std::string& text, size_t width) {
  std::vector<std::string> rows;
  for (size_t at = 0; at < text.size(); at += width)
    rows.push_back(text.substr(at, width));
  return rows;
}

std::string dump(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows)
    text += row + "\n";
  return text;
}

TEST(Tmux, CtrlZAndFgBringBackTheLineThatEnterThenSends) {
  Server server;
  start_script_server(&server, {answer("v1"), stream({"position\n"})}, answer("ok"));
  Pane pane;
  pane.start();
  ASSERT_TRUE(pane.wait_for_last_row("$"));
  pane.start_client(server.port);
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT_ROW)) << dump(pane.rows());
  pane.line("GET_SAT_POS ISS 1");  // in the history now
  pane.keys("GET_VERSIOM");
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT + "GET_VERSIOM")) << dump(pane.rows());
  pane.key("C-z");
  ASSERT_TRUE(pane.wait_for_last_row("$")) << dump(pane.rows());
  pane.line("stty -a > " + pane.dir + "/stopped; fg");
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT + "GET_VERSIOM")) << dump(pane.rows());
  pane.key("BSpace");
  pane.keys("N");
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT + "GET_VERSION")) << dump(pane.rows());
  pane.key("Enter");
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT_ROW)) << dump(pane.rows());
  pane.line("quit");
  ASSERT_TRUE(pane.wait_for_last_row("$")) << dump(pane.rows());
  stop_script_server(&server);
  std::vector<std::string> requests = received_requests(&server);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], std::string("GET_SAT_POS ISS 1") + '\0');
  EXPECT_EQ(requests[2], std::string("GET_VERSION") + '\0');
  // The terminal as it was, while the client was stopped and after it ended.
  EXPECT_FALSE(pane.file("before").empty());
  EXPECT_EQ(pane.file("stopped"), pane.file("before"));
  EXPECT_EQ(pane.file("after"), pane.file("before"));
}

TEST(Tmux, AResizeRedrawsTheLineAtTheNewWidth) {
  Server server;
  start_script_server(&server, {answer("v1")}, stream({}));
  Pane pane;
  pane.start();
  ASSERT_TRUE(pane.wait_for_last_row("$"));
  pane.start_client(server.port);
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT_ROW));
  const std::string text = "GET_SAT_POS NOAA_19 3 60 " + std::string(40, 'x') + " end";
  std::string typed = text;
  pane.keys(typed);
  ASSERT_TRUE(pane.wait_for_last_row(wrapped(PROMPT + typed, 100).back())) << dump(pane.rows());
  for (int i = 0; i < 10; ++i)
    pane.key("Left");  // the cursor in the middle of the line
  size_t cursor = typed.size() - 10;
  for (size_t width : {40, 57, 120}) {
    SCOPED_TRACE(width);
    pane.tmux({"resize-window", "-t", "t", "-x", std::to_string(width), "-y", "30"});
    // A key typed after the resize: the line, wrapped at the new width, once,
    // with the key where the cursor was, and nothing of it elsewhere.
    pane.keys(std::string(1, static_cast<char>('0' + width % 10)));
    typed.insert(cursor++, 1, static_cast<char>('0' + width % 10));
    std::vector<std::string> expected = wrapped(PROMPT + typed, width);
    ASSERT_TRUE(pane.wait_for_last_row(expected.back())) << dump(pane.rows());
    std::vector<std::string> rows = pane.rows();
    ASSERT_GE(rows.size(), expected.size());
    std::vector<std::string> last(rows.end() - static_cast<long>(expected.size()), rows.end());
    EXPECT_EQ(last, expected) << dump(rows);
    size_t prompts = 0;
    for (const std::string& row : rows)
      prompts += row.find("QUIT to exit") != std::string::npos;
    EXPECT_EQ(prompts, 1u) << dump(rows);
  }
  pane.key("Enter");
  ASSERT_TRUE(pane.wait_for_last_row(PROMPT_ROW)) << dump(pane.rows());
  ASSERT_TRUE(wait_for_requests(&server, 2));
  pane.line("quit");
  stop_script_server(&server);
  EXPECT_EQ(received_requests(&server)[1], typed + '\0');
}

#endif

}  // namespace
