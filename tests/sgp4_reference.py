#!/usr/bin/python3
"""The reference the simulator's tests hold it to: Debian's python3-sgp4.

  sgp4_reference.py data-dir
      the folder that holds SGP4-VER.TLE and tcppver.out
  sgp4_reference.py verification-errors
      for each element set of SGP4-VER.TLE, in order, the first time of its
      verification run at which SGP4 fails, and the error code:
      "INDEX CATALOGUE MINUTES CODE", or "INDEX CATALOGUE none"
  sgp4_reference.py passes LINE1 LINE2 LAT LON ALT_KM START END
      the passes over a station between two Unix times: one line per event,
      "rise T", "max T EL", "set T" (T in Unix seconds), found from SGP4
      positions in TEME turned by the IAU-1982 sidereal time, elevations
      seen from the WGS-84 station, sampled every 10 s and refined

Test data and an oracle only: nothing of the product uses it.
"""

import math
import os
import sys

import sgp4
from sgp4.api import WGS72, Satrec

DATA = os.path.dirname(sgp4.__file__)


def verification_sets():
    """Element sets of SGP4-VER.TLE with their start, stop and step."""
    sets, one = [], None
    with open(os.path.join(DATA, "SGP4-VER.TLE")) as f:
        for line in f:
            if line.startswith("1 "):
                one = line.rstrip("\n")
            elif line.startswith("2 "):
                start, stop, step = map(float, line[69:].split())
                sets.append((one[:69], line[:69], start, stop, step))
    return sets


def verification_times(start, stop, step):
    """The times the official verification run prints: the epoch, then from
    start to stop in steps, the last one cut to stop."""
    yield 0.0
    t = start - step if abs(start) > 1e-8 else start
    while t < stop:
        t = min(t + step, stop)
        yield t


def verification_errors():
    for index, (one, two, start, stop, step) in enumerate(verification_sets()):
        sat = Satrec.twoline2rv(one, two, WGS72)
        failure = None
        for t in verification_times(start, stop, step):
            error, _, _ = sat.sgp4_tsince(t)
            if error:
                failure = (t, error)
                break
        catalogue = int(one[2:7])
        if failure:
            print(index, catalogue, repr(failure[0]), failure[1])
        else:
            print(index, catalogue, "none")


WGS84_A = 6378.137
WGS84_F = 1 / 298.257223563
WGS84_E2 = WGS84_F * (2 - WGS84_F)


def gmst(unix):
    t = (unix / 86400.0 + 2440587.5 - 2451545.0) / 36525.0
    seconds = (-6.2e-6 * t ** 3 + 0.093104 * t * t
               + (876600.0 * 3600 + 8640184.812866) * t + 67310.54841)
    return math.fmod(math.radians(seconds / 240.0), 2 * math.pi)


def station_frame(lat, lon, alt):
    lat, lon = math.radians(lat), math.radians(lon)
    n = WGS84_A / math.sqrt(1 - WGS84_E2 * math.sin(lat) ** 2)
    origin = ((n + alt) * math.cos(lat) * math.cos(lon),
              (n + alt) * math.cos(lat) * math.sin(lon),
              (n * (1 - WGS84_E2) + alt) * math.sin(lat))
    up = (math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat))
    return origin, up


def elevation_function(one, two, lat, lon, alt):
    sat = Satrec.twoline2rv(one, two, WGS72)
    origin, up = station_frame(lat, lon, alt)

    def elevation(unix):
        day = math.floor(unix / 86400.0)
        error, r, _ = sat.sgp4(2440587.5 + day, (unix - day * 86400.0) / 86400.0)
        if error:
            raise RuntimeError("SGP4 error %d at %r" % (error, unix))
        theta = gmst(unix)
        c, s = math.cos(theta), math.sin(theta)
        ecef = (c * r[0] + s * r[1], -s * r[0] + c * r[1], r[2])
        d = [ecef[i] - origin[i] for i in range(3)]
        distance = math.sqrt(sum(x * x for x in d))
        return math.degrees(math.asin(sum(d[i] * up[i] for i in range(3)) / distance))

    return elevation


def crossing(elevation, a, b):
    up_at_a = elevation(a) > 0
    while b - a > 0.01:
        m = (a + b) / 2
        if (elevation(m) > 0) == up_at_a:
            a = m
        else:
            b = m
    return (a + b) / 2


def highest(elevation, a, b):
    ratio = (math.sqrt(5) - 1) / 2
    while b - a > 0.01:
        x, y = b - ratio * (b - a), a + ratio * (b - a)
        if elevation(x) < elevation(y):
            a = x
        else:
            b = y
    return (a + b) / 2


def passes(one, two, lat, lon, alt, start, end):
    elevation = elevation_function(one, two, lat, lon, alt)
    step = 10.0
    t, up = start, elevation(start) > 0
    rise = None
    best = start
    while t < end:
        nxt = min(t + step, end)
        now_up = elevation(nxt) > 0
        if up and elevation(nxt) > elevation(best):
            best = nxt
        if now_up != up:
            at = crossing(elevation, t, nxt)
            if now_up:
                rise, best = at, nxt
                print("rise", repr(at))
            else:
                if rise is not None:
                    top = highest(elevation, max(rise, best - step), min(at, best + step))
                    print("max", repr(top), repr(elevation(top)))
                print("set", repr(at))
                rise = None
            up = now_up
        t = nxt


def main(argv):
    if argv[1:2] == ["data-dir"]:
        print(DATA)
    elif argv[1:2] == ["verification-errors"]:
        verification_errors()
    elif argv[1:2] == ["passes"] and len(argv) == 9:
        passes(argv[2], argv[3], *map(float, argv[4:9]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
