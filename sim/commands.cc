// The command table: every command, single and streamed, its words and what
// makes its answer. Requests are read once into a job; the answer is then
// made line by line.

#include "sim/commands.h"

#include <math.h>
#include <string.h>

#include "sim/answers.h"
#include "sim/text.h"
#include "sim/words.h"

namespace {

/// What the arguments of a command are read from.
struct Request {
  const World& world;
  const std::vector<std::string>& words;
};

/// Reads a command's arguments into job; false with error when they are wrong.
using ArgumentReader = bool (*)(const Request&, Job*, std::string*);

bool no_arguments(const Request&, Job*, std::string*) {
  return true;
}

/// The times of an answer must stay within the simulated years.
bool within_time(double last, std::string* error) {
  if (last <= LAST_TIME)
    return true;
  *error = "the answer would reach past " + format_time(LAST_TIME) +
           ", the end of the simulated time";
  return false;
}

bool count_and_step(const Request& r, size_t at, Job* job, std::string* error) {
  if (!whole_number(r.words, at, 10, 1, MAX_POSITIONS, "count", &job->count, error) ||
      !whole_number(r.words, at + 1, 1, 1, MAX_STEP_SECONDS, "step", &job->step, error))
    return false;
  return within_time(job->start + static_cast<double>((job->count - 1) * job->step), error);
}

bool position_arguments(const Request& r, Job* job, std::string* error) {
  return count_and_step(r, 2, job, error);
}

bool state_arguments(const Request& r, Job* job, std::string* error) {
  return count_and_step(r, 3, job, error);
}

bool track_arguments(const Request& r, Job* job, std::string* error) {
  job->track = true;
  return whole_number(r.words, 3, 10, 1, MAX_TRACK_SECONDS, "seconds", &job->count, error) &&
         within_time(job->start + static_cast<double>(job->count), error);
}

bool pass_arguments(const Request& r, Job* job, std::string* error) {
  return whole_number(r.words, 3, 24, 1, MAX_PASS_HOURS, "hours", &job->count, error) &&
         within_time(job->start + static_cast<double>(job->count) * 3600, error);
}

/// A command: its words, where its satellite stands (0: it has none), how
/// many words it takes at most, how its arguments are read and its lines made.
struct Command {
  const char* verb;
  const char* sub;  ///< the second word, or "" when the verb stands alone
  size_t satellite_at;
  size_t most_words;
  ArgumentReader read;
  LineMaker line;  ///< nullptr for a live track, which the server makes
};

constexpr Command COMMANDS[] = {
    {"GET_VERSION", "", 0, 1, no_arguments, version_answer},
    {"HELP", "", 0, 1, no_arguments, help_answer},
    {"GET_TIME", "", 0, 1, no_arguments, time_answer},
    {"GET_SAT_POS", "", 1, 4, position_arguments, positions_answer},
    {"ZENOTAR", "STATE", 2, 5, state_arguments, states_answer},
    {"ZENOTAR", "LIST", 0, 2, no_arguments, list_answer},
    {"ZENOTAR", "STATION", 0, 2, no_arguments, station_answer},
    {"ZENOTAR", "TRACK", 2, 4, track_arguments, nullptr},
    {"ZENOTAR", "PASSES", 2, 4, pass_arguments, passes_answer},
};

int find_command(const std::vector<std::string>& words) {
  for (size_t i = 0; i < std::size(COMMANDS); ++i) {
    const Command& c = COMMANDS[i];
    bool sub_matches = *c.sub == '\0' || (words.size() > 1 && words[1] == c.sub);
    if (words[0] == c.verb && sub_matches)
      return static_cast<int>(i);
  }
  return -1;
}

/// Reads the words into job; false with error when they make no command.
bool read_command(const World& world, const std::string& command,
                  const std::vector<std::string>& words, Job* job, std::string* error) {
  if (words.empty()) {
    *error = "empty command; send HELP for the list";
    return false;
  }
  job->command = find_command(words);
  // A streamed command must be framed as one: its text begins with its verb.
  // " ZENOTAR LIST" is framed as a single answer, and is no command.
  if (job->command < 0 || is_streamed_command(COMMANDS[job->command].verb) != job->streamed) {
    *error = "unknown command \"" + excerpt(command) + "\"; send HELP for the list";
    return false;
  }
  const Command& c = COMMANDS[job->command];
  if (c.satellite_at != 0) {
    if (words.size() <= c.satellite_at) {
      *error = "which satellite? send HELP for the arguments";
      return false;
    }
    job->satellite = find_satellite(world.satellites, words[c.satellite_at], error);
    if (job->satellite < 0)
      return false;
  }
  if (words.size() > c.most_words) {
    *error = "too many arguments; send HELP for the arguments";
    return false;
  }
  return c.read({world, words}, job, error);
}

/// Makes the job's next line; false when its lines are over.
bool next_line(const World& world, Job* job, std::string* line) {
  if (job->command < 0) {
    *line = job->error;
    return job->next == 0;
  }
  return !job->failed && COMMANDS[job->command].line(world, job, line);
}

}  // namespace

Job start_job(const World& world, const char* data, size_t size, double now) {
  std::string command(data, strnlen(data, size));
  Job job;
  job.streamed = is_streamed_command(command);
  job.start = floor(now);
  if (!(now >= FIRST_TIME && now <= LAST_TIME)) {
    job.error = "the simulated clock has left " + format_time(FIRST_TIME) + " to " +
                format_time(LAST_TIME);
  } else if (read_command(world, command, split_words(command), &job, &job.error)) {
    return job;
  }
  job.command = -1;
  job.track = false;
  if (job.streamed)
    job.error += "\n";
  job.error = "ERROR " + job.error;
  return job;
}

void continue_job(const World& world, Job* job, size_t max_datagrams,
                  std::vector<std::string>* out) {
  for (; !job->done && max_datagrams > 0; --max_datagrams) {
    std::string line;
    if (next_line(world, job, &line)) {
      if (line.size() > MAX_DATAGRAM)
        line.resize(MAX_DATAGRAM);
      out->push_back(line);
      ++job->next;
      job->done = !job->streamed;
      continue;
    }
    if (job->streamed)
      out->push_back(std::string(1, STREAM_END_MARK));
    job->done = true;
  }
}

Answer answer_request(const World& world, const char* data, size_t size, double now) {
  Job job = start_job(world, data, size, now);
  Answer answer;
  if (job.track) {
    answer.track = true;
    answer.satellite = job.satellite;
    answer.seconds = job.count;
    return answer;
  }
  continue_job(world, &job, SIZE_MAX, &answer.datagrams);
  return answer;
}
