// The lines of the simulator's answers, one at a time.
#ifndef ZENOTAR_SIM_ANSWERS_H_
#define ZENOTAR_SIM_ANSWERS_H_

#include <string>

#include "sim/commands.h"

/// Makes the job's next line into *line; false when the answer has no more.
/// An ERROR line sets job->failed and is the last one.
using LineMaker = bool (*)(const World& world, Job* job, std::string* line);

bool version_answer(const World& world, Job* job, std::string* line);
bool help_answer(const World& world, Job* job, std::string* line);
bool time_answer(const World& world, Job* job, std::string* line);
bool station_answer(const World& world, Job* job, std::string* line);
bool list_answer(const World& world, Job* job, std::string* line);
bool positions_answer(const World& world, Job* job, std::string* line);
bool states_answer(const World& world, Job* job, std::string* line);
bool passes_answer(const World& world, Job* job, std::string* line);

/// The line a live track sends for time: a position, or the ERROR line after
/// which the track ends (then false).
bool track_line(const World& world, int satellite, double time, std::string* line);

/// One position line: time, satellite, sub-satellite point and look angles.
std::string position_line(const Position& p, int catalog);

/// The server's name and version.
std::string version_text();

#endif  // ZENOTAR_SIM_ANSWERS_H_
