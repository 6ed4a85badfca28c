"""The Python package against kvil-batch, and its behaviour as a Python library."""

import concurrent.futures
import csv
import io
import json
import math
import os
import shutil
import subprocess
from pathlib import Path

import pandas as pd
import pytest

import kvil

SOURCE = Path(os.environ.get("KVIL_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BATCH = os.environ.get("KVIL_BATCH", str(SOURCE / "build" / "kvil-batch"))
REFERENCE = SOURCE / "tests" / "data" / "reference"
NAMES = {1: "p", 2: "T", 3: "V", 4: "S", 5: "H", 6: "U"}
CASES = sorted(p.stem for p in REFERENCE.glob("*.json"))

AP_AL = [("NH4ClO4", 68, -2517.2), ("Al", 18, 0), ("C7.3H10.9O0.1", 14, 50)]


def batch(workdir, datafile, *args):
    """Runs kvil-batch in `workdir`; returns its CSV rows as dicts of floats."""
    out = subprocess.run([BATCH, *args, "--csv", "out.csv", datafile], cwd=workdir,
                         capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    with open(Path(workdir) / "out.csv", newline="") as f:
        return [{k: (float(v) if v != "" else None) for k, v in row.items()}
                for row in csv.DictReader(f)]


def case_data(name):
    return json.loads((REFERENCE / f"{name}.json").read_text())["case"]


def values(text):
    return [float(v) for v in text.split()]


@pytest.mark.parametrize("name", CASES)
def test_reference_case_equals_kvil_batch(tmp_path, name):
    """The reference cases through kvil.run and through kvil.equilibrate / kvil.rocket
    give kvil-batch's figures exactly (every digit of its 17-digit CSV)."""
    case = case_data(name)
    for d in ("batch", "python"):
        (tmp_path / d).mkdir()
        shutil.copy(REFERENCE / f"{name}.dat", tmp_path / d / "case.dat")
    rows = batch(tmp_path / "batch", "case.dat", "--fresh-start")

    # The datafile run as kvil-batch runs it: the same table, the same report.
    cwd = os.getcwd()
    os.chdir(tmp_path / "python")
    try:
        result = kvil.run("case.dat", fresh_start=True)
    finally:
        os.chdir(cwd)
    table = pd.read_csv(tmp_path / "batch" / "out.csv", float_precision="round_trip")
    pd.testing.assert_frame_equal(result.table, table, check_exact=True, check_dtype=False)
    report_lines = lambda text: [l for l in text.splitlines() if "Date" not in l and "Time" not in l]
    assert report_lines(result.report) == report_lines(
        (tmp_path / "batch" / "case.txt").read_text(encoding="latin-1"))

    # The same points from the case's data, one call a point.
    mixture = kvil.Mixture([(f, float(a), h) for f, a, h in case["components"]])
    ions = case.get("options", {}).get("22") == 1
    c1, c2 = case["first"][0], case["second"][0]
    points = [(a, b) for b in values(case["second"][1]) for a in values(case["first"][1])]
    states = []
    for a, b in points:
        given = {NAMES[c1]: a, NAMES[c2]: b}
        if "expansion" in case:
            r = kvil.rocket(mixture, given["p"], H=given["H"], pe=values(case["expansion"][1]),
                            ions=ions)
            states += [r.chamber, r.throat] + r.exits
        else:
            states.append(kvil.equilibrate(mixture, ions=ions, **given))
    assert len(states) == len(rows)
    for state, row in zip(states, rows):
        for name, column in zip(kvil.PARAMETERS, kvil._engine.PARAMETER_COLUMNS):
            expected = row[column]
            got = state.Pa if name == "p" and state.kind != "point" else getattr(state, name)
            if name == "p" and state.kind != "point":
                expected = row["Pa, MPa"]
            assert got == expected, (name, got, expected)
        for species, amount in state.composition.items():
            assert amount == row[species], species


def test_state_assigned_by_p_h_and_by_p_s_is_one_state():
    m = kvil.Mixture(AP_AL)
    a = kvil.equilibrate(m, p=7, H=0)
    b = kvil.equilibrate(m, p=7, S=a.S)
    for name in ("T", "V", "H", "U", "M", "a"):
        assert getattr(b, name) == pytest.approx(getattr(a, name), rel=2e-5), name
    for species, amount in a.composition.items():
        if amount > 1e-3:
            assert b.composition[species] == pytest.approx(amount, rel=1e-4), species
    assert sum(a.mass_fractions.values()) == pytest.approx(1.0, rel=1e-4)
    assert sum(a.mole_fractions.values()) == pytest.approx(1.0)


def test_threads_give_the_serial_results():
    mixtures = [kvil.Mixture(AP_AL), kvil.Mixture([("CH4", 5.5, -4650.1), ("O2", 22, 0),
                                                   ("N2", 72.5, 0)])]
    calls = [(m, p, T) for m in mixtures for p in (0.1, 1, 5, 20) for T in (1500, 3000)]

    def one(call):
        m, p, T = call
        s = kvil.equilibrate(m, p=p, T=T, eos="virial" if p > 5 else "ideal")
        return s.as_dict(), s.composition

    serial = [one(c) for c in calls]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        threaded = list(pool.map(one, calls * 3))
    assert threaded == serial * 3


def test_sweep_on_a_two_worker_dask_cluster_equals_the_serial_sweep():
    distributed = pytest.importorskip("distributed")
    m = kvil.Mixture(AP_AL)
    points = [{"p": p, "H": 0} for p in (1, 2, 4, 7, 10, 15)]
    points += [{"p": -1, "H": 0}]                    # refused by the value field
    points += [{"T": 1000, "p": 3}, {"T": 2000, "p": 3}]
    points += [{"p": 7, "H": 0, "pe": 0.1}]          # a rocket point
    serial = kvil.sweep(m, points, chunk_size=4)
    assert list(serial["point"]) == list(range(len(points)))
    assert serial["error"][6] == "Given parameter must have positive value!"
    assert (serial["error"].drop(index=6) == "").all()
    assert serial["Isp"][9] > 2000 and math.isnan(serial["Isp"][0])
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        remote = kvil.sweep(m, points, executor=client, chunk_size=4)
    pd.testing.assert_frame_equal(remote, serial, check_exact=True)


def test_refusals_raise_kvil_errors_with_the_programs_message(tmp_path):
    with pytest.raises(kvil.InputError, match="Unknown element: Xx"):
        kvil.Mixture([("CXx2", 1, 0)])
    m = kvil.Mixture([("H2", 1, 0), ("O2", 8, 0)])
    with pytest.raises(kvil.Error, match="Equilibrium must be specified by different parameters !"):
        kvil.equilibrate(m, p=1, P=2)
    with pytest.raises(kvil.Error, match="Equilibrium is not specified !"):
        kvil.equilibrate(m, p=1)
    with pytest.raises(kvil.InputError, match="Unknown species .*: XeF6"):
        kvil.equilibrate(m, p=1, T=3000, species=["H2O", "XeF6"])
    missing = tmp_path / "nowhere"
    with pytest.raises(kvil.DatabaseError, match=f"Species database not found in {missing}"):
        kvil.equilibrate(m, p=1, T=3000, db=str(missing))
    assert issubclass(kvil.InputError, ValueError)


def test_json_lines_of_the_example_equal_its_csv(tmp_path):
    shutil.copy(SOURCE / "examples" / "propellant.dat", tmp_path)
    out = subprocess.run([BATCH, "--csv", "p.csv", "--json", "p.json", "propellant.dat"],
                         cwd=tmp_path, capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    with open(tmp_path / "p.csv", newline="") as f:
        rows = list(csv.DictReader(f))
    lines = [json.loads(l) for l in (tmp_path / "p.json").read_text().splitlines()]
    assert [l["row"] for l in lines if "row" in l] == list(range(1, len(rows) + 1))
    for line in lines:
        row = rows[line["row"] - 1]
        assert line["status"] == "ok"
        assert float(row["kind"]) == {"point": 0, "throat": 1, "expansion": 2}[line["kind"]]
        for group in ("state", "elements", "components", "composition"):
            for key, value in line[group].items():
                assert value == float(row[key]), (group, key)
        if line["kind"] == "expansion":
            figures = line["rocket"]
            assert figures["Wa, m/s"] == float(row["Wa, m/s"])
            assert figures["Isp vacuum, m/s"] > figures["Wa, m/s"] > 0
            assert figures["c*, m/s"] > 1000 and figures["area ratio"] > 1


DETONATION = SOURCE / "tests" / "data" / "detonation"
BKWR_PRODUCTS = ["H2O", "CO2", "CO", "N2", "H2", "O2", "NO", "NH3", "CH4", "OH", "H", "C(c)"]


def test_detonation_equals_kvil_batch_and_cea(tmp_path):
    """The detonation through Python gives kvil-batch --detonation's figures, and the
    gaseous one NASA CEA's."""
    # H2/O2 2:1 at 1 atm, the ideal gas: CEA 2836.2 m/s, 19.03 bar, 3676.8 K.
    h2o2 = kvil.Mixture([("H2", 4.03176, 0), ("O2", 31.9988, 0)])
    d = kvil.detonation(h2o2, p0=0.101325, eos="ideal")
    assert d.D == pytest.approx(2836.2, rel=1e-3)
    assert d.pCJ == pytest.approx(1.903, rel=1e-3)
    assert d.TCJ == pytest.approx(3676.8, rel=1e-3)
    assert abs(d.sound_check) < 5e-3 and d.hugoniot_residual < 1e-6

    # RDX at 1.8 g/cm3 with BKWR and its calibrated products, against kvil-batch.
    shutil.copy(DETONATION / "rdx.dat", tmp_path)
    shutil.copy(DETONATION / "rdx.tdf", tmp_path)
    rows = batch(tmp_path, "rdx.dat", "--detonation", "1.2,1.8")
    rdx = kvil.Mixture([("C3H6N6O6", 100, 277.09)])
    frame = kvil.sweep(rdx, [{"rho0": 1.2}, {"rho0": 1.8}, {"rho0": 9}], eos="bkw",
                       species=BKWR_PRODUCTS)
    for i, row in enumerate(rows):
        for column, name in (("D, m/s", "D"), ("pCJ, MPa", "pCJ"), ("TCJ, K", "TCJ"),
                             ("E(7.2), kJ/kg", "E7.2")):
            assert frame[name][i] == pytest.approx(row[column], rel=1e-9), name
        assert frame["error"][i] == ""
    assert frame["D"][1] == pytest.approx(8754, rel=0.02)
    assert "at most 5 g/cm3" in frame["error"][2]
    full = kvil.detonation(rdx, 1.8, species=BKWR_PRODUCTS)
    assert full.D == pytest.approx(frame["D"][1], rel=1e-9)
    assert full.jwl["max_deviation"] < 0.05 and len(full.isentrope) > 10
