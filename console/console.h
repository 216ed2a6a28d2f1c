// The command console: probe, banner, prompt, and one exchange per line.
#ifndef ZENOTAR_CONSOLE_CONSOLE_H_
#define ZENOTAR_CONSOLE_CONSOLE_H_

/// The line that shows before the first prompt.
inline constexpr char BANNER[] = "\nEnter the command you wish to send ZENOTAR.\n";
/// The prompt, shown before every read of a line.
inline constexpr char PROMPT[] = "Enter command, or QUIT to exit >> ";
/// Said on standard error for a line the console will not send.
inline constexpr char TOO_LONG[] = "Command too long (at most 79 characters); not sent";
/// Said on standard error for a line with a zero byte, which no request can carry.
inline constexpr char ZERO_BYTE[] = "Command holds a zero byte; not sent";

/// Probes the server, shows the banner and runs the command loop; never returns.
[[noreturn]] void run_console();

/// Reads command lines from input_fd and hands each to its exchange until a
/// quit word or the end of input; returns the exit status, 0.
int console_loop(int input_fd);

#endif  // ZENOTAR_CONSOLE_CONSOLE_H_
