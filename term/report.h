// The client's own words on standard error, and its way out.
#ifndef ZENOTAR_TERM_REPORT_H_
#define ZENOTAR_TERM_REPORT_H_

/// Flushes standard output, then writes one line (with its newline) to standard error.
void report_error(const char* line);

/// Reports "what: reason", as report_error does.
void report_reason(const char* what, const char* reason);

/// Reports "what: <the reason errno gives>", as report_error does.
void report_failure(const char* what);

/// Flushes standard output and ends the process with status.
[[noreturn]] void exit_client(int status);

#endif  // ZENOTAR_TERM_REPORT_H_
