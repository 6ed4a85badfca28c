"""KVIL from Python: chemical equilibrium of propellants and explosives.

The package runs the same engine as the desktop program and ``kvil-batch``, in the
program's units: p in MPa, T in K, V in m3/kg, S in kJ/(kg K), H and U in kJ/kg,
amounts in mol/kg.

    >>> import kvil
    >>> m = kvil.Mixture([("NH4ClO4", 68, -2517.2), ("Al", 18, 0), ("C7.3H10.9O0.1", 14, 50)])
    >>> s = kvil.equilibrate(m, p=7, H=m.enthalpy)
    >>> round(s.T)
    3391

* :class:`Mixture` -- source components (formula, mass parts, enthalpy kJ/kg), or names of
  the components library with their parts.
* :func:`equilibrate` -- the equilibrium at two of p, T, V, S, H, U.
* :func:`rocket`, :func:`specific_impulse`, :func:`powder_force`,
  :func:`heat_of_combustion` -- rocket performance and the program's three templates.
* :func:`detonation` -- the Chapman-Jouguet detonation (BKW equation of state for
  condensed explosives, the ideal gas for gases), the CJ isentrope and its JWL fit.
* :func:`run` -- a task datafile run exactly as ``kvil-batch`` runs it.
* :func:`sweep`, :func:`run_tasks` -- many points or tasks, serially or through any
  ``concurrent.futures`` executor or ``dask.distributed`` client.

Every refusal raises :class:`Error` (or a subclass) carrying the program's message.
Questions of the program are answered by the ``answer`` argument ("yes" or "no"),
never by a prompt.  The engine runs without the GIL, so independent calls may run in
threads.
"""

from ._version import __version__
from ._errors import Error, InputError, DatabaseError, CalculationError
from ._engine import (
    Database,
    Mixture,
    State,
    Rocket,
    HeatOfCombustion,
    equilibrate,
    rocket,
    specific_impulse,
    powder_force,
    heat_of_combustion,
    Detonation,
    detonation,
    PARAMETERS,
)
from ._library import components_library, find_component
from ._task import run, TaskRun
from ._sweep import sweep, run_tasks

__all__ = [
    "__version__",
    "Error",
    "InputError",
    "DatabaseError",
    "CalculationError",
    "Database",
    "Mixture",
    "State",
    "Rocket",
    "HeatOfCombustion",
    "equilibrate",
    "rocket",
    "specific_impulse",
    "powder_force",
    "heat_of_combustion",
    "Detonation",
    "detonation",
    "PARAMETERS",
    "components_library",
    "find_component",
    "run",
    "TaskRun",
    "sweep",
    "run_tasks",
]
