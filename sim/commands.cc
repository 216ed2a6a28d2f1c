// The simulator's commands.

#include "sim/commands.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

namespace {

constexpr char VERSION[] = "ZENOTAR simulator zenotar-sim 1.0.0";

constexpr char HELP[] =
    "ZENOTAR simulator commands:\n"
    "  GET_VERSION                        name and version of this server\n"
    "  GET_TIME                           the simulated UTC clock\n"
    "  GET_SAT_POS <sat> [count [step]]   positions from now, every step seconds\n"
    "                                     (stream; default 10 lines 1 s apart, at most 10000)\n"
    "  ZENOTAR LIST                       known satellites, age of their elements in days\n"
    "  ZENOTAR TRACK <sat> [seconds]      live position once a second (default 10, at most 600)\n"
    "  ZENOTAR PASSES <sat> [hours]       passes over the ground station (default 24, at most 168)\n"
    "  ZENOTAR STATION                    the ground station\n"
    "  HELP                               this text\n"
    "<sat> is a catalogue number or a name in any case: NOAA_19 or \"NOAA 19\" for a name\n"
    "with blanks, or its first word where that is unique (ISS).\n"
    "Position lines: time sat lat lon (degrees, WGS-84) alt (km) az el (degrees) range (km).\n"
    "Orbits: Kepler motion on the mean elements with the secular drift of node, perigee\n"
    "and mean anomaly due to J2 and J4; no drag, no short-period terms. Compared with SGP4\n"
    "for a low, near-circular orbit: within about 15 km along the ground and 10 km in\n"
    "altitude over the first day after epoch; less exact for eccentric orbits and for\n"
    "elements far from their epoch, where positions are only illustrative.";

/// Splits a command into words at blanks; "double quotes" hold blanks.
std::vector<std::string> split_words(const std::string& command) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < command.size()) {
    while (i < command.size() && isspace(static_cast<unsigned char>(command[i])))
      ++i;
    if (i == command.size())
      break;
    std::string word;
    if (command[i] == '"') {
      size_t close = command.find('"', i + 1);
      size_t end = close == std::string::npos ? command.size() : close;
      word = command.substr(i + 1, end - i - 1);
      i = close == std::string::npos ? end : end + 1;
    } else {
      while (i < command.size() && !isspace(static_cast<unsigned char>(command[i])))
        word += command[i++];
    }
    words.push_back(word);
  }
  return words;
}

std::string upper(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (c == '_')
      c = ' ';
  }
  return text;
}

/// The name's first word, before a blank or a parenthesis.
std::string first_word(const std::string& name) {
  return upper(name.substr(0, name.find_first_of(" (")));
}

/// Finds a satellite by catalogue number or name; -1 with error if none.
int find_satellite(const World& world, const std::string& word, std::string* error) {
  bool digits = !word.empty() && word.size() <= 9 &&
                word.find_first_not_of("0123456789") == std::string::npos;
  std::string wanted = upper(word);
  std::vector<int> by_first_word;
  for (size_t i = 0; i < world.satellites.size(); ++i) {
    const Satellite& s = world.satellites[i];
    if ((digits && s.catalog == atoi(word.c_str())) || upper(s.name) == wanted)
      return static_cast<int>(i);
    if (first_word(s.name) == wanted)
      by_first_word.push_back(static_cast<int>(i));
  }
  if (by_first_word.size() == 1)
    return by_first_word[0];
  if (by_first_word.empty()) {
    *error = "unknown satellite \"" + word + "\"; ZENOTAR LIST shows the known ones";
  } else {
    *error = "\"" + word + "\" could be any of";
    for (int i : by_first_word)
      *error += (i == by_first_word[0] ? " " : ", ") + world.satellites[i].name;
  }
  return -1;
}

/// Reads an optional whole-number argument within [1, cap]; above cap gives cap.
bool count_argument(const std::vector<std::string>& words, size_t at, int fallback, int cap,
                    const char* what, int* value, std::string* error) {
  if (at >= words.size()) {
    *value = fallback;
    return true;
  }
  const std::string& word = words[at];
  if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos ||
      atoi(word.c_str()) < 1) {
    *error = std::string(what) + " must be a whole number from 1 to " + std::to_string(cap) +
             ", not \"" + word + "\"";
    return false;
  }
  *value = atoi(word.c_str());
  if (*value > cap)
    *value = cap;
  return true;
}

/// A printable excerpt of a request for an error message.
std::string excerpt(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, 40))
    shown += isprint(static_cast<unsigned char>(c)) ? c : '?';
  return text.size() > 40 ? shown + "..." : shown;
}

/// Rounds away the minus sign of a value that prints as zero.
double tidy(double value, double unit) {
  return fabs(value) < unit / 2 ? 0.0 : value;
}

double elevation(const World& world, int satellite, double time) {
  return locate(world.satellites[satellite], world.station, time).look.el;
}

/// The time in [low, high] where elevation changes sign, to a second.
double crossing(const World& world, int satellite, double low, double high) {
  bool low_up = elevation(world, satellite, low) > 0;
  while (high - low > 0.5) {
    double middle = (low + high) / 2;
    if ((elevation(world, satellite, middle) > 0) == low_up)
      low = middle;
    else
      high = middle;
  }
  return (low + high) / 2;
}

/// The time of the highest elevation in [low, high], by golden-section search.
double culmination(const World& world, int satellite, double low, double high) {
  const double ratio = (sqrt(5.0) - 1) / 2;
  while (high - low > 0.5) {
    double a = high - ratio * (high - low), b = low + ratio * (high - low);
    if (elevation(world, satellite, a) < elevation(world, satellite, b))
      low = a;
    else
      high = b;
  }
  return (low + high) / 2;
}

/// One line per pass over the station between start and start + hours.
std::vector<std::string> passes(const World& world, int satellite, double start, int hours) {
  const double step = 20;
  std::vector<std::string> lines;
  double end = start + hours * 3600.0;
  double rise = elevation(world, satellite, start) > 0 ? start : -1;
  double best = start;
  // A pass that begins in the window is followed to its set, a day at most.
  for (double t = start + step; t <= end + 86400 && (t <= end || rise >= 0); t += step) {
    bool up = elevation(world, satellite, t) > 0;
    if (up && rise < 0) {
      rise = crossing(world, satellite, t - step, t);
      best = t;
    }
    if (up && elevation(world, satellite, t) > elevation(world, satellite, best))
      best = t;
    if (!up && rise >= 0) {
      double set = crossing(world, satellite, t - step, t);
      double top = culmination(world, satellite, fmax(rise, best - step), fmin(set, best + step));
      char line[200];
      snprintf(line, sizeof line, "rise=%s max=%s max_el=%.1f set=%s\n", format_time(rise).c_str(),
               format_time(top).c_str(), elevation(world, satellite, top), format_time(set).c_str());
      lines.push_back(line);
      rise = -1;
    }
  }
  if (lines.empty())
    lines.push_back("no passes over the station in the next " + std::to_string(hours) + " hours\n");
  return lines;
}

/// What a streamed command's answer is made from.
struct Request {
  const World& world;
  const std::vector<std::string>& words;
  int satellite;  ///< -1 for commands without one
  double now;
};

/// Fills answer for one streamed command; false with error on a bad argument.
using Responder = bool (*)(const Request&, Answer*, std::string*);

bool answer_positions(const Request& r, Answer* answer, std::string* error) {
  int count, step;
  if (!count_argument(r.words, 2, 10, MAX_POSITIONS, "count", &count, error) ||
      !count_argument(r.words, 3, 1, 86400, "step", &step, error))
    return false;
  for (int i = 0; i < count; ++i)
    answer->datagrams.push_back(position_line(r.world, r.satellite, floor(r.now) + i * double(step)));
  return true;
}

bool answer_list(const Request& r, Answer* answer, std::string*) {
  for (const Satellite& s : r.world.satellites) {
    char line[160];
    snprintf(line, sizeof line, "sat=%d age=%.1f name=%s\n", s.catalog,
             tidy((r.now - s.epoch) / 86400.0, 0.1), s.name.c_str());
    answer->datagrams.push_back(line);
  }
  return true;
}

bool answer_station(const Request& r, Answer* answer, std::string*) {
  char line[120];
  snprintf(line, sizeof line, "lat=%.4f lon=%.4f alt=%.0f\n", r.world.station.lat,
           r.world.station.lon, r.world.station.alt * 1000);
  answer->datagrams.push_back(line);
  return true;
}

bool answer_track(const Request& r, Answer* answer, std::string* error) {
  answer->track = true;
  answer->satellite = r.satellite;
  return count_argument(r.words, 3, 10, MAX_TRACK_SECONDS, "seconds", &answer->seconds, error);
}

bool answer_passes(const Request& r, Answer* answer, std::string* error) {
  int hours;
  if (!count_argument(r.words, 3, 24, MAX_PASS_HOURS, "hours", &hours, error))
    return false;
  answer->datagrams = passes(r.world, r.satellite, floor(r.now), hours);
  return true;
}

/// A streamed command: its words, where its satellite stands (0: it has
/// none), how many words it takes at most, and what makes its answer.
struct StreamCommand {
  const char* verb;
  const char* sub;  ///< "" for GET_SAT_POS
  size_t satellite_at;
  size_t most_words;
  Responder respond;
};

constexpr StreamCommand STREAM_COMMANDS[] = {
    {"GET_SAT_POS", "", 1, 4, answer_positions},
    {"ZENOTAR", "LIST", 0, 2, answer_list},
    {"ZENOTAR", "STATION", 0, 2, answer_station},
    {"ZENOTAR", "TRACK", 2, 4, answer_track},
    {"ZENOTAR", "PASSES", 2, 4, answer_passes},
};

const StreamCommand* find_stream_command(const std::vector<std::string>& words) {
  for (const StreamCommand& c : STREAM_COMMANDS) {
    bool sub_matches = *c.sub == '\0' || (words.size() > 1 && words[1] == c.sub);
    if (words[0] == c.verb && sub_matches)
      return &c;
  }
  return nullptr;
}

/// Fills answer for words, or says in error what is wrong with them.
bool respond_to_stream(const World& world, const std::vector<std::string>& words, double now,
                       Answer* answer, std::string* error) {
  const StreamCommand* command = find_stream_command(words);
  if (command == nullptr) {
    *error = "unknown command \"" + excerpt(words[0] + (words.size() > 1 ? " " + words[1] : "")) +
             "\"; send HELP for the list";
    return false;
  }
  int satellite = -1;
  if (command->satellite_at != 0) {
    if (words.size() <= command->satellite_at) {
      *error = "which satellite? send HELP for the arguments";
      return false;
    }
    satellite = find_satellite(world, words[command->satellite_at], error);
    if (satellite < 0)
      return false;
  }
  if (words.size() > command->most_words) {
    *error = "too many arguments; send HELP for the arguments";
    return false;
  }
  return command->respond({world, words, satellite, now}, answer, error);
}

/// The answer to a streamed command: its lines, or one error line, then the
/// end mark (which a live track sends when it has run).
Answer stream_answer(const World& world, const std::vector<std::string>& words, double now) {
  Answer answer;
  std::string error;
  if (!respond_to_stream(world, words, now, &answer, &error)) {
    answer.track = false;
    answer.datagrams = {"ERROR " + error + "\n"};
  }
  if (!answer.track)
    answer.datagrams.push_back(std::string(1, STREAM_END_MARK));
  return answer;
}

}  // namespace

bool is_streamed(const std::string& command) {
  return command.compare(0, 7, "ZENOTAR") == 0 || command.compare(0, 11, "GET_SAT_POS") == 0;
}

std::string format_time(double time) {
  time_t seconds = static_cast<time_t>(floor(time));
  tm parts;
  gmtime_r(&seconds, &parts);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

bool parse_time(const std::string& text, double* time) {
  tm parts{};
  int consumed = 0;
  if (sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &parts.tm_year, &parts.tm_mon,
             &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6)
    return false;
  std::string rest = text.substr(static_cast<size_t>(consumed));
  if (rest != "" && rest != "Z")
    return false;
  if (parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
      parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60 || parts.tm_year < 1957)
    return false;
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  *time = static_cast<double>(timegm(&parts));
  return true;
}

std::string position_line(const World& world, int satellite, double time) {
  const Satellite& s = world.satellites[satellite];
  Position p = locate(s, world.station, time);
  char line[200];
  snprintf(line, sizeof line,
           "time=%s sat=%d lat=%.2f lon=%.2f alt=%.1f az=%.1f el=%.1f range=%.1f\n",
           format_time(time).c_str(), s.catalog, tidy(p.point.lat, 0.01), tidy(p.point.lon, 0.01),
           p.point.alt, p.look.az >= 359.95 ? 0.0 : p.look.az, tidy(p.look.el, 0.1), p.look.range);
  return line;
}

Answer answer_request(const World& world, const char* data, size_t size, double now) {
  std::string command(data, strnlen(data, size));
  std::vector<std::string> words = split_words(command);
  if (is_streamed(command))
    return stream_answer(world, words, now);
  Answer answer;
  if (words.empty())
    answer.datagrams = {"ERROR empty command; send HELP for the list"};
  else if (words.size() == 1 && words[0] == "GET_VERSION")
    answer.datagrams = {VERSION};
  else if (words.size() == 1 && words[0] == "HELP")
    answer.datagrams = {HELP};
  else if (words.size() == 1 && words[0] == "GET_TIME")
    answer.datagrams = {format_time(now)};
  else
    answer.datagrams = {"ERROR unknown command \"" + excerpt(command) + "\"; send HELP for the list"};
  return answer;
}
