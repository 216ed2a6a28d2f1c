// The element sets the tests and benchmarks hold the simulator to: the ISS
// of 20 September 2008, whose positions the reference tables were made for,
// and others of the kinds SGP4 and SDP4 treat apart.
#ifndef ZENOTAR_TESTS_REFERENCE_ELEMENTS_H_
#define ZENOTAR_TESTS_REFERENCE_ELEMENTS_H_

/// Line 1 of the ISS set of 2008.
#define ISS_2008_LINE1 "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927"
/// Line 2 of the ISS set of 2008.
#define ISS_2008_LINE2 "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537"
/// The ISS set of 2008 as a catalogue of one: its name, then its two lines.
#define ISS_2008_TLE "ISS\n" ISS_2008_LINE1 "\n" ISS_2008_LINE2 "\n"

#endif  // ZENOTAR_TESTS_REFERENCE_ELEMENTS_H_
