"""Specific impulse of LOX/methane over the mixture ratio and the chamber pressure,
computed on a Dask cluster and plotted with matplotlib.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/isp_sweep.py [isp.png]

By default the sweep runs on a local cluster of two worker processes started here.  To
use a cluster that runs elsewhere (a dask-scheduler with its dask-workers on other
machines, or a Slurm/PBS cluster from dask-jobqueue), give its scheduler's address:

    KVIL_DASK_SCHEDULER=tcp://scheduler-host:8786 /usr/bin/python3 examples/python/isp_sweep.py

The workers need the kvil package too (installed with cmake --install, or on their
PYTHONPATH); each computes whole chunks of points and sends back their table rows.
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
from distributed import Client, LocalCluster

import kvil

RATIOS = [2.4, 2.8, 3.2, 3.6, 4.0]            # oxidizer/fuel mass ratio
PRESSURES = [1, 2, 3, 5, 7, 10, 15, 20, 25]    # chamber pressure, MPa
EXIT_PRESSURE = 0.1                            # MPa


def mixture(ratio):
    # Liquid oxygen and liquid methane from the components library.
    return kvil.Mixture([("Liquid oxygen", ratio), ("Liquid methane", 1.0)])


def main(png):
    mixtures, points = [], []
    for r in RATIOS:
        m = mixture(r)
        for p in PRESSURES:
            mixtures.append(m)
            points.append({"p": p, "H": 0, "pe": EXIT_PRESSURE})

    address = os.environ.get("KVIL_DASK_SCHEDULER")
    if address:
        client = Client(address)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None)
        client = Client(cluster)
    try:
        table = kvil.sweep(mixtures, points, executor=client, chunk_size=len(PRESSURES))
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    failed = table[table["error"] != ""]
    for _, row in failed.iterrows():
        print(f"point {row['point']} failed: {row['error']}")

    fig, ax = plt.subplots(figsize=(7, 4.5), dpi=110)
    for i, r in enumerate(RATIOS):
        part = table.iloc[i * len(PRESSURES):(i + 1) * len(PRESSURES)]
        ax.plot(part["p"], part["Isp"], marker="o", label=f"O/F = {r:g}")
    ax.set_xlabel("Chamber pressure, MPa")
    ax.set_ylabel("Specific impulse at 0.1 MPa exit, m/s")
    ax.set_title("LOX/CH4, equilibrium expansion to 0.1 MPa")
    ax.grid(True, alpha=0.3)
    ax.legend(loc="lower right")
    fig.tight_layout()
    fig.savefig(png)
    print(f"{len(table)} points, {len(failed)} failed; plot saved to {png}")
    print(table[["point", "p", "T", "Isp", "Isp_vac", "c_star", "area_ratio"]].to_string(index=False))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "isp.png")
