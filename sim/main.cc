// zenotar-sim: a ZENOTAR satellite-tracking server that propagates orbits
// from two-line element sets with SGP4 and answers on 127.0.0.1 over UDP.

#include <errno.h>
#include <fcntl.h>
#include <getopt.h>
#include <math.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "protocol/protocol.h"
#include "sim/server.h"
#include "sim/text.h"

extern const char BUNDLED_CATALOGUE[];

namespace {

constexpr char USAGE[] =
    "usage: zenotar-sim [--port N] [--tle FILE] [--time 2008-09-20T12:25:40Z|now]\n"
    "                   [--station LAT,LON,ALT_M] [--help] [--version]\n"
    "Answers ZENOTAR commands over UDP on 127.0.0.1.\n"
    "  --port N        listen on port N (0: any free port; default: the services\n"
    "                  database's port of zenotar/udp)\n"
    "  --tle FILE      load these element sets instead of the bundled ones\n"
    "  --time T        start the simulated UTC clock at T, or now (default: the\n"
    "                  newest epoch of the loaded elements); it runs at real speed\n"
    "  --station L,L,A ground station latitude, longitude (degrees) and altitude\n"
    "                  (metres); default 51.4779,-0.0015,46 (Greenwich)\n"
    "  --version       print the version and exit\n"
    "Send HELP to the server for its commands.\n";

/// The largest element file read.
constexpr off_t MAX_TLE_BYTES = 64 * 1024 * 1024;

volatile sig_atomic_t stop_requested = 0;

void request_stop(int) {
  stop_requested = 1;
}

struct Options {
  int port = -1;
  std::string tle_file;
  std::string time;
  Geodetic station = {51.4779, -0.0015, 0.046};
};

[[noreturn]] void fail(const std::string& message) {
  fprintf(stderr, "zenotar-sim: %s\n", message.c_str());
  exit(2);
}

/// Refuses an option's value, naming the option, the value and what it must be.
[[noreturn]] void bad_value(const char* option, const char* value, const std::string& rule) {
  fail(std::string("--") + option + " \"" + printable_excerpt(value, 64, true) + "\": " + rule);
}

int parse_port(const char* text) {
  char* end = nullptr;
  errno = 0;
  long port = strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || port < 0 || port > 65535)
    bad_value("port", text, "not a port number (0 to 65535)");
  return static_cast<int>(port);
}

Geodetic parse_station(const char* text) {
  Geodetic g;
  int consumed = 0;
  if (sscanf(text, "%lf,%lf,%lf%n", &g.lat, &g.lon, &g.alt, &consumed) != 3 ||
      text[consumed] != '\0' || !isfinite(g.lat) || !isfinite(g.lon) || !isfinite(g.alt))
    bad_value("station", text, "not LAT,LON,ALT_M (degrees, degrees, metres; e.g. 51.4779,-0.0015,46)");
  const struct {
    const char* what;
    double value, low, high;
  } ranges[] = {{"latitude", g.lat, -90, 90}, {"longitude", g.lon, -180, 180},
                {"altitude", g.alt, -500, 100000}};
  for (const auto& r : ranges) {
    if (r.value < r.low || r.value > r.high)
      bad_value("station", text, std::string(r.what) + " " + format_number(r.value) +
                                     " is out of range (" + format_number(r.low) + " to " +
                                     format_number(r.high) + ")");
  }
  g.alt /= 1000;
  return g;
}

Options parse_options(int argc, char** argv) {
  const option longs[] = {{"port", required_argument, nullptr, 'p'},
                          {"tle", required_argument, nullptr, 't'},
                          {"time", required_argument, nullptr, 'c'},
                          {"station", required_argument, nullptr, 's'},
                          {"help", no_argument, nullptr, 'h'},
                          {"version", no_argument, nullptr, 'v'},
                          {nullptr, 0, nullptr, 0}};
  Options options;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":h", longs, nullptr)) != -1) {
    if (c == 'h') {
      fputs(USAGE, stdout);
      exit(0);
    }
    if (c == 'v') {
      printf("zenotar-sim %s\n", ZENOTAR_VERSION);
      exit(0);
    }
    if (c == 'p')
      options.port = parse_port(optarg);
    else if (c == 't')
      options.tle_file = optarg;
    else if (c == 'c')
      options.time = optarg;
    else if (c == 's')
      options.station = parse_station(optarg);
    else if (c == ':')
      fail("option " + printable_excerpt(argv[optind - 1], 64, true) + " needs a value\n" + USAGE);
    else
      fail("unknown option: " + printable_excerpt(argv[optind - 1], 64, true) + "\n" + USAGE);
  }
  if (optind < argc)
    fail("unexpected argument: " + printable_excerpt(argv[optind], 64, true) + "\n" + USAGE);
  return options;
}

/// Reads an element file: a regular file of at most MAX_TLE_BYTES.
std::string read_element_file(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat info;
  if (fd < 0 || fstat(fd, &info) < 0)
    fail("can't read " + path + ": " + strerror(errno));
  if (S_ISDIR(info.st_mode))
    bad_value("tle", path.c_str(), "is a directory");
  if (!S_ISREG(info.st_mode))
    bad_value("tle", path.c_str(), "not a regular file");
  if (info.st_size > MAX_TLE_BYTES)
    bad_value("tle", path.c_str(), "larger than 64 MiB");
  std::string text(static_cast<size_t>(MAX_TLE_BYTES) + 1, '\0');
  size_t used = 0;
  ssize_t got;
  while (used < text.size() && (got = read(fd, &text[used], text.size() - used)) > 0)
    used += static_cast<size_t>(got);
  if (used > static_cast<size_t>(MAX_TLE_BYTES))
    bad_value("tle", path.c_str(), "larger than 64 MiB");
  close(fd);
  text.resize(used);
  return text;
}

World load_world(const Options& options) {
  std::string text = BUNDLED_CATALOGUE;
  std::string name = "bundled catalogue";
  if (!options.tle_file.empty()) {
    text = read_element_file(options.tle_file);
    name = options.tle_file;
  }
  World world;
  world.station = options.station;
  std::string error;
  if (!parse_catalogue(text, name, &world.satellites, &error))
    fail(error);
  return world;
}

double start_time(const Options& options, const World& world) {
  if (options.time == "now")
    return static_cast<double>(time(nullptr));
  if (options.time.empty()) {
    double newest = world.satellites[0].epoch;
    for (const Satellite& s : world.satellites)
      newest = s.epoch > newest ? s.epoch : newest;
    return newest;
  }
  double start;
  if (!parse_time(options.time, &start))
    bad_value("time", options.time.c_str(),
              "not a calendar time from 1957 to 2100 (e.g. 2008-09-20T12:25:40Z, or now)");
  return start;
}

int default_port() {
  const servent* entry = getservbyname(SERVICE_NAME, SERVICE_PROTOCOL);
  if (entry == nullptr)
    fail("no services entry for zenotar/udp; add \"zenotar <port>/udp\" to /etc/services "
         "or give --port N");
  return ntohs(static_cast<uint16_t>(entry->s_port));
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parse_options(argc, argv);
  World world = load_world(options);
  double start = start_time(options, world);
  // Resonant deep-space orbits integrate from epoch once, here, not in a request.
  for (const Satellite& s : world.satellites) {
    StateVector ignored;
    satellite_state(s, start, &ignored);
  }
  int port = options.port >= 0 ? options.port : default_port();
  int fd = open_server_socket(port);
  if (fd < 0)
    fail("can't listen on 127.0.0.1:" + std::to_string(port) + "/udp: " + strerror(errno));

  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
  struct sigaction action = {};
  action.sa_handler = request_stop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  SimClock clock = start_clock(start);
  printf("zenotar-sim: listening on 127.0.0.1:%d/udp, %zu satellites, clock %s\n",
         bound_port(fd), world.satellites.size(), format_time(start).c_str());
  fflush(stdout);
  serve(fd, world, clock, &stop_requested);
  printf("zenotar-sim: stopped\n");
  return 0;
}
