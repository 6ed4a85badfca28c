"""Times NASA CEA on the point sets of solver_bench, for a side-by-side ratio.

Developer script, not part of the build: needs Debian's rocketcea package (CEA2 with
its thermo.lib) and Debian's /usr/bin/python3.  Run it through compare_with_cea.sh,
which runs solver_bench in the same session.

The decks hold the same mixtures as solver_bench (AN/HTPB 94/6 and AP/Al/HTPB with the
same enthalpies per kg) and the same points: tp at 1000..4000 K by 250 K and 1, 10,
100 bar (39 points; CEA carries the composition from point to point within a deck),
and hp at the mixture enthalpy for 1..3000 bar (10 points).  CEA's time includes
reading its input and writing its output file; each deck is timed 7 times, median.
"""
import os, shutil, statistics, sys, tempfile, time

import rocketcea
import rocketcea.py_cea as py_cea

LIB = os.path.dirname(rocketcea.__file__)
WORK = tempfile.mkdtemp(prefix='cea_timing_') + '/'
for lib in ('thermo.lib', 'trans.lib', 'f.inp'):
    shutil.copy(os.path.join(LIB, lib), WORK)

# kJ/mol = kJ/kg * M / 1000 with the benchmark's enthalpies per kg.
SYSTEMS = {
    'CHNO near stoich AN/HTPB 94/6': ['name R1 wt%=94 t,k=298.15 h,kj/mol=-365.56 N 2 H 4 O 3',
                                      'name R2 wt%=6 t,k=298.15 h,kj/mol=21.64 C 4 H 6'],
    'CHNO+Al+Cl AP/Al/HTPB': ['name R1 wt%=68 t,k=298.15 h,kj/mol=-295.74 N 1 H 4 CL 1 O 4',
                              'name R2 wt%=18 t,k=298.15 h,kj/mol=0 AL 1',
                              'name R3 wt%=14 t,k=298.15 h,kj/mol=21.64 C 4 H 6'],
}


def run(lines):
    for i, ln in enumerate(lines):
        py_cea.setinpline(i, ln + ' ')
    for i in range(len(lines), len(lines) + 40):
        py_cea.setinpline(i, '    ')
    py_cea.py_cea(WORK, 'f.inp ', 1, 1)
    return open(WORK + 'f.out').read()


def deck(reac, prob):
    return [' ', 'reac'] + ['  ' + r + ' ' for r in reac] + \
           ['prob case=bench ' + prob + ' ', 'output siunits ', 'end ']


temps = ','.join(str(t) for t in range(1000, 4001, 250))
for name, reac in SYSTEMS.items():
    for label, prob, points in (('TP', 'tp p,bar=1,10,100 t,k=%s' % temps, 39),
                                ('HP', 'hp p,bar=1,3,10,30,70,100,200,500,1000,3000', 10)):
        lines = deck(reac, prob)
        out = run(lines)
        found = out.count(' T, K ')
        times = []
        for _ in range(7):
            t0 = time.perf_counter()
            run(lines)
            times.append(time.perf_counter() - t0)
        med = statistics.median(times)
        print('CEA %-32s %s: %2d points (%d printed), median %.2f ms per deck, %.1f us per point'
              % (name, label, points, found, med * 1e3, med * 1e6 / points))
shutil.rmtree(WORK, ignore_errors=True)
