"""Many equilibria or tasks, serially or through an executor (concurrent.futures or a
dask.distributed client), as one pandas DataFrame in input order."""

import math

from . import _kvil
from ._engine import (
    PARAMETERS,
    Mixture,
    _Borrowed,
    _CODES,
    _NAMES,
    _Options,
    _database,
    _initial_density,
    _split_options,
)
from ._errors import Error, InputError, translated

_EXPANSION_KEYS = {"pe": 7, "va": 8, "area_ratio": 9}
_FIGURES = ("Isp", "Isp_vac", "c_star", "Cf", "area_ratio", "Mach")
_EXIT_PREFIX = "exit_"
_EXIT_VALUES = ("p", "T", "V", "a", "Wa")
_DETONATION = -1  # the code of a detonation point in place of the assigned codes
_DETONATION_COLUMNS = ("rho0", "D", "pCJ", "TCJ", "rhoCJ", "uCJ", "cCJ", "kCJ", "E2.2", "E4",
                       "E7.2", "Ug2.2", "Ug4", "Ug7.2", "vCJ", "JWL_A", "JWL_B", "JWL_C",
                       "JWL_R1", "JWL_R2", "JWL_omega", "JWL_E0", "JWL_deviation")


def _point_codes(point):
    """(c1, v1, c2, v2, expansion code, expansion value) of a point, or an InputError."""
    if not isinstance(point, dict):
        raise InputError("A point is a dict of two of p, T, V, S, H, U.")
    keys = {str(k).lower(): k for k in point}
    if "rho0" in keys:
        # A detonation point: its initial density (g/cm3, or "gas") and p0, T0.
        unknown = set(keys) - {"rho0", "p0", "t0"}
        if unknown:
            raise InputError("A detonation point takes rho0, p0 and T0, not " +
                             ", ".join(sorted(unknown)) + ".")
        density = _initial_density(point[keys["rho0"]])
        p0 = float(point[keys["p0"]]) if "p0" in keys else 0.1
        t0 = float(point[keys["t0"]]) if "t0" in keys else 298.15
        return _DETONATION, density, _DETONATION, 0.0, _DETONATION, (p0, t0)
    assigned = []
    expansion = []
    for key, value in point.items():
        k = str(key).lower()
        if k in _EXPANSION_KEYS:
            expansion.append((_EXPANSION_KEYS[k], float(value)))
            continue
        code = _CODES.get(k)
        if code is None:
            raise InputError(f"Unknown parameter {key!r}: assign two of p, T, V, S, H, U.")
        assigned.append((code, float(value)))
    codes = [c for c, _ in assigned]
    if len(set(codes)) != len(codes):
        raise InputError("Equilibrium must be specified by different parameters !")
    if len(assigned) != 2:
        raise InputError("Equilibrium is not specified !")
    if len(expansion) > 1:
        raise InputError("Give at most one of pe, area_ratio and Va.")
    (c1, v1), (c2, v2) = assigned
    e = expansion[0] if expansion else (0, math.nan)
    return c1, v1, c2, v2, e[0], e[1]


def _failed_frame(positions, errors):
    import pandas as pd

    return pd.DataFrame({"point": list(positions), "error": list(errors)})


def _run_chunk(items, options):
    """Runs ``items`` -- (position, mixture rows, point) -- and returns their rows as a
    list of DataFrames.

    Consecutive points of one mixture with the same assigned codes (and expansion)
    go through one run of the program, each later point starting from the one before,
    as kvil-batch runs a value list."""
    frames = []
    i = 0
    while i < len(items):
        position, rows, point = items[i]
        try:
            codes = _point_codes(point)
        except Error as e:
            frames.append(_failed_frame([position], [str(e)]))
            i += 1
            continue
        group = [(position, codes)]
        j = i + 1
        while j < len(items) and items[j][1] == rows:
            try:
                c = _point_codes(items[j][2])
            except Error:
                break
            if c[0] != codes[0] or c[2] != codes[2] or c[4] != codes[4]:
                break
            if codes[4] and c[5] != codes[5]:
                break
            group.append((items[j][0], c))
            j += 1
        frames.append(_run_group(rows, options, group))
        i = j
    return frames


def _run_group(rows, options, group):
    c1, _, c2, _, ecode, evalue = group[0][1]
    values = [(c[1], c[3]) for _, c in group]
    try:
        with _Borrowed(rows, options) as prepared:
            if c1 == _DETONATION:
                with translated():
                    result = prepared.calc.run_detonations([v for v, _ in values], evalue[0],
                                                           evalue[1], False)
                return _group_frame(prepared, result, group)
            with translated():
                result = prepared.calc.run(c1, c2, values, expansion_code=ecode,
                                           expansion_values=[evalue] if ecode else [],
                                           throat=bool(ecode), frozen=False,
                                           fresh_start=False)
            return _group_frame(prepared, result, group)
    except Error as e:
        return _failed_frame([p for p, _ in group], [str(e)] * len(group))


def _group_frame(prepared, result, group):
    """The rows of one run: point, error, the properties, the rocket figures of rocket
    points, and the amounts of the species."""
    import numpy as np
    import pandas as pd

    n = len(group)
    ok = np.asarray(result["point_ok"], dtype=bool)
    first = np.asarray(result["point_first_record"], dtype=np.int64)
    messages = result["point_message"]
    errors = ["" if ok[k] else (messages[k] or "No equilibrium is found.") for k in range(n)]
    params = np.full((n, len(PARAMETERS)), np.nan)
    amounts = np.full((n, len(prepared.names)), np.nan)
    good = np.nonzero(ok)[0]
    if len(good):
        params[good] = result["parameters"][first[good]]
        amounts[good] = result["amounts"][first[good]]
    parts = [pd.DataFrame({"point": [p for p, _ in group], "error": errors}),
             pd.DataFrame(params, columns=PARAMETERS)]
    if group[0][1][4] == _DETONATION:
        ext = np.full((n, len(_DETONATION_COLUMNS)), np.nan)
        if len(good):
            ext[good] = result["extension"][first[good]]
        parts.append(pd.DataFrame(ext, columns=_DETONATION_COLUMNS))
    elif group[0][1][4]:
        parts.append(_rocket_columns(prepared, result, ok, errors))
    parts.append(pd.DataFrame(amounts, columns=prepared.columns))
    return pd.concat(parts, axis=1)


def _rocket_columns(prepared, result, ok, errors):
    """Exit figures of rocket points (the last expansion record of each point)."""
    import numpy as np
    import pandas as pd

    params = result["parameters"]
    columns = list(_FIGURES) + [_EXIT_PREFIX + n for n in _EXIT_VALUES]
    out = np.full((len(ok), len(columns)), np.nan)
    for k in range(len(ok)):
        if not ok[k]:
            continue
        first = int(result["point_first_record"][k])
        count = int(result["point_records"][k])
        throat = exit_row = None
        for row in range(first + 1, first + count):
            if int(result["record_kind"][row]) == 1:
                throat = row
            else:
                exit_row = row
        if exit_row is None:
            errors[k] = result["point_message"][k] or "Expansion parameters cannot be calculated"
            continue
        figures = _kvil.rocket_figures(
            params[exit_row].tolist(), params[first].tolist(),
            params[throat].tolist() if throat is not None else [], prepared.ambient_p)
        exit_values = dict(zip(PARAMETERS, params[exit_row].tolist()))
        exit_values["p"] = exit_values["Pa"]
        out[k] = [figures[f] for f in _FIGURES] + [exit_values[n] for n in _EXIT_VALUES]
    return pd.DataFrame(out, columns=columns)


def sweep(mixture, points, executor=None, *, chunk_size=64, **options):
    """Evaluates many equilibria and returns a pandas DataFrame in input order.

    ``mixture``: a :class:`Mixture`, or a sequence of mixtures, one per point.
    ``points``: a sequence of dicts with two of ``p``, ``T``, ``V``, ``S``, ``H``, ``U``
    (program units; ``H``/``U`` of 0 = the enthalpy of the components) and, for a
    rocket point, one of ``pe`` (exit pressure, MPa), ``area_ratio`` or ``Va``: its
    chamber state then comes with the exit figures ``Isp``, ``Isp_vac``, ``c_star``,
    ``Cf``, ``area_ratio``, ``Mach`` and ``exit_p``, ``exit_T``, ``exit_V``, ``exit_a``,
    ``exit_Wa``.  A detonation point has ``rho0`` (g/cm3, or "gas" with ``p0`` MPa and
    ``T0`` K) instead: its CJ state comes with ``D``, ``pCJ``, ``TCJ``, ``rhoCJ``, ``uCJ``,
    ``cCJ``, ``kCJ``, ``vCJ``, the cylinder energies ``E2.2``, ``E4``, ``E7.2`` and
    Gurney velocities ``Ug2.2`` ..., and the JWL constants (use ``eos="bkw"``).

    ``executor``: None (in this process), any ``concurrent.futures`` executor, or a
    ``dask.distributed.Client`` (local or remote cluster).  The points are cut into
    chunks of ``chunk_size`` consecutive points whatever the executor, so every
    executor gives the same figures; within a chunk each point starts from the one
    before, as in a value list of the program.  Other options as for
    :func:`kvil.equilibrate`.

    Columns: ``point`` (position in ``points``), ``mixture`` (position in the sequence
    of mixtures, when one was given), the keys of the points that are not properties
    (``pe``, ``Va``), ``error`` (empty where the point succeeded, else the program's
    message), the state's properties (``PARAMETERS``) and the amounts of the candidate
    species in mol/kg (a gas species named like a property, such as the atom H, as
    "H(g)").  A failed point keeps its row with empty (NaN) values.
    """
    import pandas as pd

    points = list(points)
    opts = _split_options(options)
    if options:
        raise TypeError("unexpected arguments: " + ", ".join(sorted(options)))
    if isinstance(mixture, Mixture):
        mixtures = None
        rows_of = [mixture.components] * len(points)
    else:
        mixtures = list(mixture)
        if len(mixtures) != len(points):
            raise InputError("Give one mixture per point, or one mixture for all points.")
        rows_of = [m.components for m in mixtures]
    if chunk_size < 1:
        raise InputError("The chunk size must be at least 1.")
    items = [(i, rows_of[i], points[i]) for i in range(len(points))]
    chunks = [items[i:i + chunk_size] for i in range(0, len(items), chunk_size)]

    if executor is None:
        results = [_run_chunk(c, opts) for c in chunks]
    else:
        futures = [executor.submit(_run_chunk, c, opts) for c in chunks]
        results = [f.result() for f in futures]

    frames = [f for chunk in results for f in chunk]
    if not frames:
        return pd.DataFrame(columns=["point", "error"] + list(PARAMETERS))
    frame = pd.concat(frames, ignore_index=True, sort=False)
    frame = frame.sort_values("point", kind="stable").reset_index(drop=True)
    # Properties of failed points are NaN; the columns every frame has come first.
    head = ["point"]
    if mixtures is not None:
        frame.insert(1, "mixture", frame["point"])
        head.append("mixture")
    keys = []
    for p in points:
        for k in (p if isinstance(p, dict) else {}):
            if str(k) not in keys and str(k) not in frame.columns and str(k) not in PARAMETERS:
                keys.append(str(k))
    for k in keys:
        frame[k] = [points[i].get(k, math.nan) if isinstance(points[i], dict) else math.nan
                    for i in frame["point"]]
    for name in PARAMETERS:
        if name not in frame.columns:
            frame[name] = math.nan
    rest = [c for c in frame.columns if c not in head + keys + ["error"]]
    return frame[head + keys + ["error"] + rest]


def _run_one_task(datafile, kwargs):
    from ._task import run

    try:
        result = run(datafile, **kwargs)
    except Error as e:
        return datafile, str(e), None
    return datafile, "", result.table


def run_tasks(datafiles, executor=None, **kwargs):
    """Runs task datafiles as :func:`kvil.run` does, serially or through ``executor``
    (as for :func:`sweep`), and returns their results tables as one DataFrame with the
    columns ``task`` (the datafile) and ``error`` (the program's message for a task that
    could not run) before the CSV's columns.  Each task writes its own report and
    table beside its datafile; two tasks must not share a datafile."""
    import pandas as pd

    datafiles = [str(d) for d in datafiles]
    if executor is None:
        results = [_run_one_task(d, kwargs) for d in datafiles]
    else:
        futures = [executor.submit(_run_one_task, d, kwargs) for d in datafiles]
        results = [f.result() for f in futures]
    frames = []
    for datafile, error, table in results:
        if table is None or len(table) == 0:
            frames.append(pd.DataFrame({"task": [datafile], "error": [error or "no results"]}))
        else:
            t = table.copy()
            t.insert(0, "error", "")
            t.insert(0, "task", datafile)
            frames.append(t)
    return pd.concat(frames, ignore_index=True, sort=False) if frames else pd.DataFrame()
