"""Runs the cases of cases.py through CEA (via cea_ref) and writes NAME.dat / NAME.json.
Differences from cea_ref's own main: the assigned densities of uv problems are taken
column by column from the deck (CEA prints stars for some of them), and cases with
composition variants run one CEA deck per variant and store the states in variant order."""
import json, os, re, sys
import cea_ref, kvil_task as kt
import cases

_balance = kt.element_balance
kt.element_balance = lambda comps: _balance([c[:3] for c in comps])  # step column ignored

def variant_amounts(case):
    """Mass parts of each variant, following the program's rules for lists and ranges."""
    rows = []
    for comp in case['components']:
        vals = [float(v) for v in comp[1].split()]
        step = float(comp[3]) if len(comp) > 3 and comp[3].strip() else 0.0
        rows.append((vals, step))
    out = []
    k = 1
    while True:
        w = []
        for vals, step in rows:
            if step != 0:
                x = (k - 1) * step + vals[0]
                if (step > 0 and x - 5e-21 > vals[1]) or (step < 0 and x + 5e-21 < vals[1]):
                    return out
                w.append(x)
            else:
                w.append(vals[min(k, len(vals)) - 1])
        if k > 1 and all(step == 0 and len(vals) < k for vals, step in rows):
            return out
        out.append(w)
        k += 1
        if k > 50:
            return out

def run(case):
    variants = variant_amounts(case) if case.get('variants') else [None]
    if case.get('separate_probs'):       # one CEA run per point, states in point order
        runs = [(None, p) for p in case['separate_probs']]
    else:
        runs = [(w, case['cea']['prob']) for w in variants]
    states, decks = [], []
    for w, prob in runs:
        c = dict(case)
        c['cea'] = dict(case['cea'], prob=prob)
        if w is not None:
            c['components'] = [[f, '%g' % x, h] for (f, _, h, *r), x in zip(case['components'], w)]
        ref = cea_ref.reference(c)
        out = ref['cea_output']
        m = re.search(r'rho,kg/m\*\*3=([0-9.eE+,-]+)', prob)
        if m:
            rhos = [float(x) for x in m.group(1).split(',')]
            mt = re.search(r't,k=([0-9.,]+)', prob)
            nt = len(mt.group(1).split(',')) if mt else 1   # CEA loops over T inside rho
            rhos = [r for r in rhos for _ in range(nt)]
            assert len(rhos) == len(ref['cea']), case['name']
            for col, r in zip(ref['cea'], rhos):
                col['rho'] = r
                col['V'] = 1.0 / r
        for col in ref['cea']:
            if w is not None:
                col['variant_parts'] = w
        states += ref['cea']
        decks.append((ref['deck'], out))
    return states, decks

if __name__ == '__main__':
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    only = sys.argv[2:]
    for case in cases.visible:
        if only and case['name'] not in only:
            continue
        states, decks = run(case)
        kt.write_dat(os.path.join(outdir, case['name'] + '.dat'), case)
        doc = dict(case=case, deck=decks[0][0], cea=states)
        if len(decks) > 1:
            doc['point_decks' if case.get('separate_probs') else 'variant_decks'] = [d for d, _ in decks]
        json.dump(doc, open(os.path.join(outdir, case['name'] + '.json'), 'w'), indent=1)
        open(os.path.join(outdir, case['name'] + '.cea.txt'), 'w').write(
            '\n'.join(o for _, o in decks))
        print(case['name'], len(states), 'states', [round(c.get('T', 0), 1) for c in states])
