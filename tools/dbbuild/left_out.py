"""Lists the NASA product species (thermo.inp) of the elements the database covers that
the database does not ship, with the reason for each.  Writes data/left-out-species.txt.

    /usr/bin/python3 tools/dbbuild/left_out.py [THERMO_INP]

Run it from the project root after changing data/sources/species.txt."""
import csv, re, sys

thermo = sys.argv[1] if len(sys.argv) > 1 else '/usr/lib/python3/dist-packages/rocketcea/thermo.inp'
lines = open(thermo, encoding='latin-1').read().splitlines()

# Products: every record between "thermo" (+ its bounds line) and "END PRODUCTS".
start = next(i for i, l in enumerate(lines) if l.startswith('thermo')) + 2
end = next(i for i, l in enumerate(lines) if l.startswith('END PRODUCTS'))
species = []
i = start
while i < end:
    name = lines[i][:18].strip()
    if not name or name.startswith('!'):
        i += 1
        continue
    head = lines[i + 1]
    nint = int(head[0:2])
    formula = []
    for k in range(5):
        sym = head[10 + 8 * k:12 + 8 * k].strip()
        cnt = float(head[12 + 8 * k:18 + 8 * k] or 0)
        if sym and cnt != 0:
            formula.append((sym.capitalize() if sym != 'E' else 'e', cnt))
    phase = int(head[50:52] or 0)
    species.append((name, formula, phase))
    i += 2 + (3 * nint if nint > 0 else 1)

shipped, covered = set(), set()
for row in csv.DictReader(open('data/species-map.csv')):
    for n in row['nasa_names'].split(';'):
        shipped.add(n)
for name, formula, phase in species:
    if name in shipped:
        covered.update(s for s, _ in formula if s != 'e')

survey = set()
for l in open('tests/db/cea_survey_species.txt'):
    if ':' in l and not l.startswith('#'):
        survey.update(x.upper() for x in l.split(':', 1)[1].split())

shipped_formulas = {}
for name, formula, phase in species:
    if name in shipped:
        shipped_formulas.setdefault((tuple(sorted(formula)), phase > 0), name)

pending = {}  # species CEA uses that are still out, with what stands in the way

out = []
for name, formula, phase in species:
    elems = {s for s, _ in formula if s != 'e'}
    if name in shipped or not elems or not elems <= covered:
        continue
    charge = -sum(c for s, c in formula if s == 'e')
    if name in pending:
        why = pending[name]
    elif any(abs(c - round(c)) > 1e-9 for _, c in formula):
        why = 'fractional formula: a species record stores whole atom counts'
    elif abs(charge) > 1:
        why = 'multiply charged ion'
    elif (tuple(sorted(formula)), phase > 0) in shipped_formulas:
        why = 'isomer or other form of ' + shipped_formulas[(tuple(sorted(formula)), phase > 0)] + \
              ' (shipped): the database names species by formula'
    elif name.upper().replace('*', '') in survey:
        why = 'in the CEA survey but not yet added'
    elif sum(c for s, c in formula if s != 'e') > 12:
        why = 'large molecule (more than 12 atoms), below 1e-5 mole fraction in the CEA survey'
    else:
        why = 'below 1e-5 mole fraction in the CEA survey; out to keep element systems ' \
              'within the run limits'
    out.append((name, 'condensed' if phase > 0 else 'gas', why))

with open('data/left-out-species.txt', 'w') as f:
    f.write('# NASA thermo.inp product species of the covered elements that the species\n')
    f.write('# database does not ship, and why.  Written by tools/dbbuild/left_out.py.\n')
    f.write('# Covered elements: ' + ' '.join(sorted(covered)) + '\n')
    f.write('# Survey: tests/db/cea_survey_species.txt (mole fraction >= 1e-5 in CEA results).\n')
    f.write('# %d species left out of %d products of these elements.\n' % (
        len(out), len(out) + len(shipped)))
    for name, ph, why in out:
        f.write('%-20s %-9s %s\n' % (name, ph, why))
print(len(out), 'left out')
