"""How the cost of kvil-batch grows with the number of points and of species (developer
script, not part of the build):

    python3 bench/scaling.py build/kvil-batch

Three systems, each a TP grid (T a range, p ten values), written from the templates in
bench/cases: CH4/air (elements C H N O: tp-grid.dat), AP/Al/HTPB (C H N O Al Cl:
tp-apal-grid.dat) and CH4/air with ions (tp-ions-grid.dat).  For each, runs of 10, 100,
1000 and 10000 points (T: one value, 10, 100, 1000 values), timed as a user runs them
(process start, database, report, table); medians of REPS runs (one for 10000 points).
Printed: the time per point of each run, the marginal cost per point between successive
sizes ((t2 - t1) / (n2 - n1)), which stays flat when the cost is linear in points, and the
Newton iterations per point and the number of continued solves that failed and were
repeated from a fresh start (kvil-batch --stats)."""
import os, re, shutil, statistics, subprocess, sys, tempfile, time

KB = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build/kvil-batch')
CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'cases')
WORK = tempfile.mkdtemp(prefix='kvil_scaling_') + '/'
REPS = int(os.environ.get('KVIL_BENCH_REPS', '5'))
SYSTEMS = [('CHNO (CH4/air)', 'tp-grid'), ('CHNO+Al+Cl (AP/Al/HTPB)', 'tp-apal-grid'),
           ('CHNO with ions', 'tp-ions-grid')]
# points: (T value text, T step text); p always has ten values
SIZES = [(10, '2000', ''), (100, '1500 3300', '200'), (1000, '1000 3970', '30'),
         (10000, '1000 3997', '3')]


def write_case(template, name, values, step):
    lines = open(os.path.join(CASES, template + '.dat'), 'rb').read().decode('latin-1').split('\r\n')
    lines[1] = values + ' '  # first parameter: value text
    lines[4] = step          # its step
    open(WORK + name + '.dat', 'wb').write('\r\n'.join(lines).encode('latin-1'))


def run(name, stats=False):
    for ext in ('.txt', '.rst', '.tdf'):
        if os.path.exists(WORK + name + ext):
            os.remove(WORK + name + ext)
    t0 = time.perf_counter()
    r = subprocess.run([KB] + (['--stats'] if stats else []) + [name + '.dat'], cwd=WORK,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    return time.perf_counter() - t0, r.stderr


print('time per point, us (medians of %d runs; 10000 points: one run)' % REPS)
for title, template in SYSTEMS:
    times = []
    iterations = []
    restarts = []
    for n, values, step in SIZES:
        name = '%s-%d' % (template, n)
        write_case(template, name, values, step)
        reps = 1 if n >= 10000 else REPS
        times.append(statistics.median(run(name)[0] for _ in range(reps)))
        m = re.search(r'(\d+) equilibrium solves, (\d+) Newton', run(name, True)[1])
        # a continued solve that fails is repeated from a fresh start: one more solve
        assert int(m.group(1)) >= n, (name, m.group(0))
        iterations.append(int(m.group(2)) / n)
        restarts.append(int(m.group(1)) - n)
    line = '%-26s' % title
    for (n, _, _), t, it in zip(SIZES, times, iterations):
        line += '  %5d: %6.0f (%.1f it)' % (n, t / n * 1e6, it)
    print(line)
    marg = ['%d-%d: %.0f' % (SIZES[i][0], SIZES[i + 1][0],
                             (times[i + 1] - times[i]) / (SIZES[i + 1][0] - SIZES[i][0]) * 1e6)
            for i in range(len(SIZES) - 1)]
    print('%-26s  marginal per point: %s;  fresh restarts: %s' % (
        '', ',  '.join(marg), ' '.join(str(r) for r in restarts)), flush=True)
shutil.rmtree(WORK, ignore_errors=True)
