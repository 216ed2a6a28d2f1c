// zenotar-sim: a ZENOTAR satellite-tracking server that propagates orbits
// from two-line element sets and answers on 127.0.0.1 over UDP.

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sim/server.h"

extern const char BUNDLED_CATALOGUE[];

namespace {

constexpr char USAGE[] =
    "usage: zenotar-sim [--port N] [--tle FILE] [--time 2008-09-20T12:25:40Z|now]\n"
    "                   [--station LAT,LON,ALT_M] [--help]\n"
    "Answers ZENOTAR commands over UDP on 127.0.0.1.\n"
    "  --port N        listen on port N (0: any free port; default: the services\n"
    "                  database's port of zenotar/udp)\n"
    "  --tle FILE      load these element sets instead of the bundled ones\n"
    "  --time T        start the simulated UTC clock at T, or now (default: the\n"
    "                  newest epoch of the loaded elements); it runs at real speed\n"
    "  --station L,L,A ground station latitude, longitude (degrees) and altitude\n"
    "                  (metres); default 51.4779,-0.0015,46 (Greenwich)\n"
    "Send HELP to the server for its commands.\n";

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

int parse_port(const char* text) {
  char* end = nullptr;
  long port = strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || port < 0 || port > 65535)
    fail(std::string("bad port \"") + text + "\" (0 to 65535)");
  return static_cast<int>(port);
}

Geodetic parse_station(const char* text) {
  Geodetic g;
  int consumed = 0;
  if (sscanf(text, "%lf,%lf,%lf%n", &g.lat, &g.lon, &g.alt, &consumed) != 3 ||
      text[consumed] != '\0' || g.lat < -90 || g.lat > 90 || g.lon < -180 || g.lon > 180 ||
      g.alt < -500 || g.alt > 100000)
    fail(std::string("bad station \"") + text + "\" (LAT,LON,ALT_M, e.g. 51.4779,-0.0015,46)");
  g.alt /= 1000;
  return g;
}

Options parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      fputs(USAGE, stdout);
      exit(0);
    }
    if (i + 1 >= argc)
      fail("unknown option or missing value: " + option + "\n" + USAGE);
    const char* value = argv[++i];
    if (option == "--port")
      options.port = parse_port(value);
    else if (option == "--tle")
      options.tle_file = value;
    else if (option == "--time")
      options.time = value;
    else if (option == "--station")
      options.station = parse_station(value);
    else
      fail("unknown option: " + option + "\n" + USAGE);
  }
  return options;
}

World load_world(const Options& options) {
  std::string text = BUNDLED_CATALOGUE;
  std::string name = "bundled catalogue";
  if (!options.tle_file.empty()) {
    std::ifstream file(options.tle_file);
    if (!file)
      fail("can't read " + options.tle_file + ": " + strerror(errno));
    std::stringstream contents;
    contents << file.rdbuf();
    text = contents.str();
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
    fail("bad time \"" + options.time + "\" (2008-09-20T12:25:40Z or now)");
  return start;
}

int default_port() {
  const servent* entry = getservbyname("zenotar", "udp");
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
  int port = options.port >= 0 ? options.port : default_port();
  int fd = bind_server(port);
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
