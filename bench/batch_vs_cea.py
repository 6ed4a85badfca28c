"""Marginal cost per point of kvil-batch and of NASA CEA on the same points, side by side
in one run (developer script, not part of the build; needs Debian's rocketcea and
/usr/bin/python3):

    /usr/bin/python3 bench/batch_vs_cea.py build/kvil-batch [OTHER_KVIL_BATCH ...]

The cases (bench/cases, written with the project's datafile layout): a 10 x 10 TP grid of
CH4/air (T 1500..3300 K by 200 K, p 0.1..15 MPa), HP at 10 pressures of CH4/air and of
AP/Al/HTPB, HP of CH4/air in short steps (p = 1, 2, ..., 20 MPa), and a rocket of
AP/Al/HTPB with throat and expansion to an area ratio of 10 at 10 chamber pressures
(CEA: rocket equilibrium, supar=10); each with a one-point twin.  Marginal cost = median over the rounds of (N-point run -
one-point run) / (N - 1), 15 rounds (KVIL_BENCH_REPS), the runs of both programs
interleaved; times are CPU times (user + system) of the work, kvil-batch's of its process,
CEA's of its call (KVIL_BENCH_CLOCK=wall for the wall clock).
kvil-batch is timed as a user runs it (process start, database, report, table); it is
timed twice: solving every point from scratch (--fresh-start) and continuing from the
previous point (the default).  CEA writes its full output with transport properties
("full") or its plain output ("plain").  Further kvil-batch programs (earlier builds,
say) are timed in the same runs, continuing, as "other", for before/after figures (the
first on the case's line, the others on lines of their own).
Each kvil-batch is also timed on a copy of the cases with "Brief" results and "Sound" off
(task options 60 and 24), the report that compares with CEA's plain output ("brief",
and "other brief" for the others).

Also per case: Newton iterations per point (kvil-batch --stats: the N-point run minus the
one-point run over N - 1; CEA: its debug listing of points 1 to 10, the mean of points 2
to 10, which continue from the point before; for the rocket, whose chamber, throat and
exit each count as a point, the iterations of a run at 1 and 2 bar minus those of a run
at 1 bar) and peak memory (maximum resident set of the
process; CEA runs inside a Python process, whose own size without CEA is printed too)."""
import os, re, shutil, statistics, subprocess, sys, tempfile, time

import rocketcea
import rocketcea.py_cea as py_cea

KB = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build/kvil-batch')
OTHERS = [os.path.abspath(a) for a in sys.argv[2:]]
CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'cases')
WORK = tempfile.mkdtemp(prefix='kvil_bench_') + '/'
for f in os.listdir(CASES):
    shutil.copy(os.path.join(CASES, f), WORK)
LIB = os.path.dirname(rocketcea.__file__)
for lib in ('thermo.lib', 'trans.lib', 'f.inp'):
    shutil.copy(os.path.join(LIB, lib), WORK)
REPS = int(os.environ.get('KVIL_BENCH_REPS', '15'))


def brief_copy(name):
    """The case with "Brief" results and "Sound" off, as WORK/b-NAME.dat (line 1: eight
    unit codes, then the 64 option bytes)."""
    lines = open(WORK + name + '.dat', 'rb').read().decode('latin-1').split('\r\n')
    items = lines[0].split(' ')
    items[8 + 60] = '1'
    items[8 + 24] = '0'
    lines[0] = ' '.join(items)
    open(WORK + 'b-' + name + '.dat', 'wb').write('\r\n'.join(lines).encode('latin-1'))
# CPU time (user + system) of the process by default: on a shared machine it is far
# steadier than the wall clock; KVIL_BENCH_CLOCK=wall times the wall clock instead.
CPU = os.environ.get('KVIL_BENCH_CLOCK', 'cpu') != 'wall'


def kvil(name, fresh, program=None):
    for ext in ('.txt', '.rst'):
        if os.path.exists(WORK + name + ext):
            os.remove(WORK + name + ext)
    args = [program or KB] + (['--fresh-start'] if fresh else []) + [name + '.dat']
    t0 = time.perf_counter()
    proc = subprocess.Popen(args, cwd=WORK, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - t0
    proc.returncode = 0
    if status != 0:
        raise RuntimeError('%s failed' % ' '.join(args))
    return usage.ru_utime + usage.ru_stime if CPU else wall


def cea(lines):
    for i, ln in enumerate(lines):
        py_cea.setinpline(i, ln + ' ')
    for i in range(len(lines), len(lines) + 40):
        py_cea.setinpline(i, '    ')
    t0, c0 = time.perf_counter(), time.process_time()
    py_cea.py_cea(WORK, 'f.inp ', 1, 1)
    return time.process_time() - c0 if CPU else time.perf_counter() - t0


def deck(reac, prob, output):
    return [' ', 'reac'] + ['  ' + r + ' ' for r in reac] + ['prob case=b ' + prob + ' ', output, 'end ']


CH4AIR = ['name CH4 wt%=5.5 t,k=298.15 h,kj/mol=-74.6 C 1 H 4',
          'name O2 wt%=22 t,k=298.15 h,kj/mol=0 O 2', 'name N2 wt%=72.5 t,k=298.15 h,kj/mol=0 N 2']
APAL = ['name AP wt%=68 t,k=298.15 h,kj/mol=-295.767 N 1 H 4 CL 1 O 4',
        'name AL wt%=18 t,k=298.15 h,kj/mol=0 AL 1',
        'name HTPB wt%=14 t,k=298.15 h,kj/mol=0.7 C 7.3165 H 10.336 O 0.1063']
# The rocket case's HTPB: 50.21 kJ/kg (RPL's R-45 card)
APAL_ROCKET = APAL[:2] + ['name HTPB wt%=14 t,k=298.15 h,kj/mol=5.021 C 7.3165 H 10.336 O 0.1063']
PB = 'p,bar=1,2,5,10,20,30,50,70,100,150'
TK = 't,k=' + ','.join(str(t) for t in range(1500, 3301, 200))
SETS = [  # name, one-point twin, points, CEA reactants, CEA problem (N points), (1 point)
    ('tp-grid', 'tp-one', 100, CH4AIR, 'tp ' + PB + ' ' + TK, 'tp p,bar=1 t,k=1500'),
    ('hp-ch4', 'hp-ch4-one', 10, CH4AIR, 'hp ' + PB, 'hp p,bar=1'),
    ('hp-apal', 'hp-apal-one', 10, APAL, 'hp ' + PB, 'hp p,bar=1'),
    ('hp-ch4-steps', 'hp-ch4-steps-one', 20, CH4AIR,
     'hp p,bar=' + ','.join(str(10 * i) for i in range(1, 21)), 'hp p,bar=10'),
    ('rocket', 'rocket-one', 10, APAL_ROCKET, 'rocket equilibrium ' + PB + ' supar=10',
     'rocket equilibrium p,bar=70 supar=10'),
]


def kvil_stats(name, program=None):
    """Newton iterations of a continued run and the peak memory of its process, kB."""
    err = subprocess.run([program or KB, '--stats', name + '.dat'], cwd=WORK, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True).stderr
    m = re.search(r'stats: (\d+) equilibrium solves, (\d+) Newton iterations, peak memory (\d+)', err)
    return int(m.group(2)), int(m.group(3))


CEA_CHILD = """import os, sys, rocketcea.py_cea as py_cea
lines = sys.stdin.read().split('\\n')
if lines != ['']:
    for i, ln in enumerate(lines):
        py_cea.setinpline(i, ln)
    for i in range(len(lines), len(lines) + 40):
        py_cea.setinpline(i, '    ')
    py_cea.py_cea(sys.argv[1], 'f.inp ', 1, 1)
for line in open('/proc/self/status'):
    if line.startswith('VmHWM:'):
        print(line.split()[1])
"""


def cea_child(lines):
    """Peak memory (kB) of a Python process running the deck (no deck: Python alone)."""
    out = subprocess.run(['/usr/bin/python3', '-c', CEA_CHILD, WORK], text=True,
                         input='\n'.join(ln + ' ' for ln in lines) if lines else '',
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return int(out.split()[-1])


def cea_iterations(reac, prob):
    """CEA's iterations per point, points 2 to 10, from its debug listing."""
    if prob.startswith('rocket'):
        counts = []
        for p in ('p,bar=1', 'p,bar=1,2'):
            cea(deck(reac, re.sub(r'p,bar=\S+', p, prob),
                     'output siunits transport debug=1,2,3,4,5,6,7,8,9,10 '))
            counts.append(len(re.findall(r'ITERATION\s+\d+\s+MATRIX', open(WORK + 'f.out').read())))
        return counts[1] - counts[0]
    cea(deck(reac, prob, 'output siunits transport debug=1,2,3,4,5,6,7,8,9,10 '))
    text = open(WORK + 'f.out').read()
    counts = []
    for it in (int(x) for x in re.findall(r'ITERATION\s+(\d+)\s+MATRIX', text)):
        if it == 1:
            counts.append(0)
        counts[-1] = it
    return statistics.mean(counts[1:10]) if len(counts) > 1 else float('nan')


def marginal(big, one, n):
    """Median of the paired differences (the N-point and one-point runs of one round are
    timed next to each other, so slow drifts of the machine cancel)."""
    return statistics.median(b - o for b, o in zip(big, one)) / (n - 1) * 1e6


print('marginal cost per point, us of %s time (medians of %d; ratio = kvil-batch continued / CEA)' % ('CPU' if CPU else 'wall', REPS))
for name, one, n, reac, big_prob, one_prob in SETS:
    brief_copy(name)
    brief_copy(one)
    keys = ['fresh', 'cont', 'brief', 'full', 'plain']
    for i in range(len(OTHERS)):
        keys += ['other%d' % i, 'other%d brief' % i]
    t = {k: ([], []) for k in keys}
    for _ in range(REPS):
        for k in ('fresh', 'cont'):
            t[k][0].append(kvil(name, k == 'fresh'))
            t[k][1].append(kvil(one, k == 'fresh'))
        t['brief'][0].append(kvil('b-' + name, False))
        t['brief'][1].append(kvil('b-' + one, False))
        for i, other in enumerate(OTHERS):
            t['other%d' % i][0].append(kvil(name, False, other))
            t['other%d' % i][1].append(kvil(one, False, other))
            t['other%d brief' % i][0].append(kvil('b-' + name, False, other))
            t['other%d brief' % i][1].append(kvil('b-' + one, False, other))
        if reac:
            for k, out in (('full', 'output siunits transport '), ('plain', 'output siunits ')):
                t[k][0].append(cea(deck(reac, big_prob, out)))
                t[k][1].append(cea(deck(reac, one_prob, out)))
    m = {k: marginal(v[0], v[1], n) for k, v in t.items() if v[0]}
    line = '%-12s kvil fresh %5.0f  continued %5.0f  brief %5.0f' % (
        name, m['fresh'], m['cont'], m['brief'])
    if 'other0' in m:
        line += '  other %5.0f  other brief %5.0f' % (m['other0'], m['other0 brief'])
    if 'full' in m:
        line += '  CEA full %5.0f  plain %5.0f  ratio full %.2f  brief/plain %.2f' % (
            m['full'], m['plain'], m['cont'] / m['full'], m['brief'] / m['plain'])
        if 'other0' in m:
            line += '  other: %.2f  %.2f' % (m['other0'] / m['full'], m['other0 brief'] / m['plain'])
    print(line, flush=True)
    for i in range(1, len(OTHERS)):
        o, ob = m['other%d' % i], m['other%d brief' % i]
        print('%-12s   other %s: continued %5.0f  brief %5.0f  ratio full %.2f  brief/plain %.2f' % (
            '', OTHERS[i], o, ob, o / m['full'], ob / m['plain']), flush=True)
    (itN, memN), (it1, _) = kvil_stats(name), kvil_stats(one)
    line = '%-12s   iterations per point: kvil %.1f' % ('', (itN - it1) / (n - 1))
    if OTHERS:
        (oN, _), (o1, _) = kvil_stats(name, OTHERS[0]), kvil_stats(one, OTHERS[0])
        line += '  other %.1f' % ((oN - o1) / (n - 1))
    if reac:
        line += '  CEA %.1f' % cea_iterations(reac, big_prob)
    line += ';  peak memory, MB: kvil %.1f' % (memN / 1024)
    if reac:
        line += '  CEA in Python %.1f (Python alone %.1f)' % (
            cea_child(deck(reac, big_prob, 'output siunits transport ')) / 1024, cea_child(None) / 1024)
    print(line, flush=True)
shutil.rmtree(WORK, ignore_errors=True)
