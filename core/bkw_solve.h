// A state of the BKW equation of state from the ideal-gas equilibrium of the same
// assigned values.
//
// At the densities of detonation products the BKW state lies far from the ideal-gas one
// (RDX at 2.4 g/cm3 and its energy: 2500 K and 35 GPa against 5200 K and 3 GPa), too far
// for the Newton iteration with its step limits to go in one solve: with T cut to its
// limit while the other unknowns take their whole step, the iterates swing.  The
// covolumes are therefore brought in by steps (a quarter of their values, a half, three
// quarters, the whole) at an assigned temperature and volume, each solve continuing from
// the one before, and the assigned pair of the point is reached from that state.
#pragma once

namespace kvil {

struct Session;

// The workspace holds the ideal-gas equilibrium at value1 (code c1) and value2 (c2)
// (ws.bkw prepared).  Solves with the BKW terms; an assigned volume is the whole volume,
// gas and condensed.  First the BKW state at the ideal state's temperature and the
// point's volume (the BKW volume at an assigned pressure) with the covolumes brought in
// by steps, then the point from there, directly or, when that fails, along a path of its
// two assigned values in 4 or 16 steps.  Messages of the intermediate solves are held
// back; those of the last go to the user unless ws.state.quietFailure is set.  Returns
// the solver status (and ws.bkw.active is left clear); a failure before the last solve
// sets ws.state.quietFailed, and the caller tells the user.
int SolveBkwFromIdealState(Session& session, float value1, int c1, float value2, int c2,
                           int speciesCount, int elementCount);

}  // namespace kvil
