"""Mixtures, equilibrium states, rocket performance and the program's templates."""

import math
import os
import threading
from collections import OrderedDict

from . import _kvil
from ._errors import InputError, CalculationError, translated

#: Attribute names of a state's properties, in the order of the results table's 23
#: parameters (the CSV's column names are in ``PARAMETER_COLUMNS``).
PARAMETERS = (
    "p",      # pressure, MPa
    "T",      # temperature, K
    "V",      # specific volume, m3/kg
    "S",      # entropy, kJ/(kg K)
    "H",      # enthalpy, kJ/kg
    "U",      # internal energy, kJ/kg
    "Cp",     # frozen heat capacity, kJ/(kg K)
    "M",      # amount of the products, mol/kg
    "Vg",     # volume of the gas phase, m3/kg
    "Rg",     # gas constant of the products, kJ/(kg K)
    "Z",      # compressibility
    "a",      # equilibrium sound velocity, m/s
    "k",      # frozen isentropic exponent
    "k_eq",   # equilibrium isentropic exponent (k")
    "Cp_eq",  # equilibrium heat capacity at constant p, kJ/(kg K)
    "Cv_eq",  # equilibrium heat capacity at constant V, kJ/(kg K)
    "Lt",     # frozen thermal conductivity, W/(m K)
    "Lt_eq",  # equilibrium thermal conductivity, W/(m K)
    "Mu",     # viscosity, N s/m2
    "FP",     # R T of the gas (the powder force), kJ/kg
    "Cov",    # covolume, dm3/kg (0 with the ideal gas)
    "Wa",     # velocity of flow, m/s (expansion points)
    "Pa",     # pressure of a throat or expansion point, MPa
)
PARAMETER_COLUMNS = tuple(_kvil.PARAMETER_NAMES)

# Assigned parameters by name (the program's codes); the names are taken without
# regard to case, as the program's choosers show them.
_CODES = {"p": 1, "t": 2, "v": 3, "s": 4, "h": 5, "u": 6}
_NAMES = {1: "p", 2: "T", 3: "V", 4: "S", 5: "H", 6: "U"}
_EOS = {"ideal": 1, "virial": 2, "kelmost": 3, "bkw": 4}
_BKW_SETS = {"bkwr": 0, "bkw-tnt": 1}
_KINDS = {0: "point", 1: "throat", 2: "expansion"}

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))


def _default_database_dir():
    return os.environ.get("KVIL_DB") or os.path.join(_PACKAGE_DIR, "db")


class Database:
    """The species database: the directory of the program's three record files.

    ``Database()`` opens the database shipped with the package (or the directory named
    by the environment variable ``KVIL_DB``).  Raises :class:`DatabaseError` with the
    program's message when the files cannot be read.
    """

    _opened = {}
    _lock = threading.Lock()

    def __init__(self, directory=None):
        self.directory = os.path.abspath(directory or _default_database_dir())
        with Database._lock:
            db = Database._opened.get(self.directory)
        if db is None:
            with translated():
                db = _kvil.Database(self.directory)
            with Database._lock:
                db = Database._opened.setdefault(self.directory, db)
        self._db = db

    @property
    def species_count(self):
        """Number of species records."""
        return self._db.species_count

    def __repr__(self):
        return f"kvil.Database({self.directory!r})"

    def __reduce__(self):
        return (Database, (self.directory,))


def _database(db):
    if isinstance(db, Database):
        return db
    return Database(db)


class Mixture:
    """Source components of a calculation.

    ``components`` is a sequence of ``(formula, mass parts, enthalpy kJ/kg)`` tuples, or
    of ``(name, mass parts)`` pairs naming components of the components library (see
    :func:`components_library`).  At most 20 components.  The formulas are read as the
    program reads them (``"NH4ClO4"``, ``"C7.3H10.9O0.1"``); a formula, amount or
    enthalpy the program refuses raises :class:`InputError` with its message.

    Attributes: ``components`` (the formula tuples), ``enthalpy`` (kJ/kg of the
    mixture), ``elements`` (symbol -> mol/kg), ``mass_fractions``.
    """

    def __init__(self, components):
        rows = []
        for i, c in enumerate(components, 1):
            c = tuple(c)
            if len(c) == 2:
                from ._library import find_component

                found = find_component(c[0])
                rows.append((found.formula, float(c[1]), float(found.enthalpy)))
            elif len(c) == 3:
                rows.append((str(c[0]), float(c[1]), float(c[2])))
            else:
                raise InputError(
                    f"Source component {i}: give (formula, mass parts, enthalpy kJ/kg) "
                    "or (name of the components library, mass parts)."
                )
        with translated():
            facts = _kvil.check_mixture(rows)
        self.components = tuple(rows)
        self.enthalpy = facts["enthalpy"]
        self.elements = dict(facts["elements"])
        self.mass_fractions = tuple(facts["mass_fractions"])

    def __eq__(self, other):
        return isinstance(other, Mixture) and self.components == other.components

    def __hash__(self):
        return hash(self.components)

    def __repr__(self):
        return f"kvil.Mixture({list(self.components)!r})"

    def __reduce__(self):
        return (Mixture, (list(self.components),))


def _eos_code(eos):
    if isinstance(eos, int) and eos in _EOS.values():
        return eos
    code = _EOS.get(str(eos).lower())
    if code is None:
        raise InputError(f"Unknown equation of state {eos!r}: one of {', '.join(_EOS)}.")
    return code


class _Options(tuple):
    """The options a calculation is prepared with (hashable: the pool's key)."""

    __slots__ = ()

    def __new__(cls, db=None, eos="ideal", ions=False, species=None, exclude=None,
                answer="yes", sound=True, freezing_T=None, ambient_p=None, bkw_set="BKWR"):
        if answer not in ("yes", "no"):
            raise InputError("The answer must be yes or no.")
        bkw = _BKW_SETS.get(str(bkw_set).lower())
        if bkw is None:
            raise InputError(f"Unknown BKW parameter set {bkw_set!r}: BKWR or BKW-TNT.")
        directory = _database(db).directory
        return tuple.__new__(cls, (
            directory, _eos_code(eos), bool(ions),
            tuple(species) if species is not None else (),
            tuple(exclude) if exclude is not None else (),
            answer, bool(sound),
            math.nan if freezing_T is None else float(freezing_T),
            math.nan if ambient_p is None else float(ambient_p),
            bkw,
        ))

    @property
    def ambient_p(self):
        return 0.1 if math.isnan(self[8]) else self[8]

    def __reduce__(self):
        return (_options_from_tuple, (tuple(self),))


def _options_from_tuple(values):
    return tuple.__new__(_Options, values)


_OPTION_NAMES = ("db", "eos", "ions", "species", "exclude", "answer", "sound", "freezing_T",
                 "ambient_p", "bkw_set")


def _split_options(kwargs):
    options = {k: kwargs.pop(k) for k in list(kwargs) if k in _OPTION_NAMES}
    return _Options(**options)


class _Prepared:
    """A compiled calculation with what results need of it (species names, masses)."""

    def __init__(self, mixture_rows, options):
        db = Database(options[0])
        with translated():
            self.calc = _kvil.Calculation(
                db._db, list(mixture_rows), options[1], options[9], options[2],
                list(options[3]), list(options[4]), options[5], options[6], options[7],
                options[8])
        species = self.calc.species()
        self.names = [s[0] for s in species]
        # Column names of the species in tables: a gas species named like a property
        # (the atoms H, S, V, U) is written with its phase, "H(g)".
        self.columns = [n + "(g)" if n in PARAMETERS or n in ("point", "mixture", "error")
                        else n for n in self.names]
        self.molar_mass = [s[4] for s in species]
        self.ambient_p = options.ambient_p


class _Pool:
    """Prepared calculations by mixture and options, each used by one thread at a time."""

    def __init__(self, keys=32):
        self._idle = OrderedDict()
        self._lock = threading.Lock()
        self._keys = keys

    def take(self, rows, options):
        key = (rows, options)
        with self._lock:
            idle = self._idle.get(key)
            if idle:
                self._idle.move_to_end(key)
                return idle.pop()
        return _Prepared(rows, options)

    def give(self, rows, options, prepared):
        key = (rows, options)
        with self._lock:
            self._idle.setdefault(key, []).append(prepared)
            self._idle.move_to_end(key)
            while len(self._idle) > self._keys:
                self._idle.popitem(last=False)


_pool = _Pool()


class _Borrowed:
    """A prepared calculation of the pool for a mixture (or its component rows)."""

    def __init__(self, mixture, options):
        self.rows = mixture.components if isinstance(mixture, Mixture) else tuple(mixture)
        self.options = options

    def __enter__(self):
        self.prepared = _pool.take(self.rows, self.options)
        return self.prepared

    def __exit__(self, *exc):
        _pool.give(self.rows, self.options, self.prepared)
        return False


class State:
    """An equilibrium state of the products.

    Properties as attributes in the program's units (see ``PARAMETERS``): ``p`` MPa,
    ``T`` K, ``V`` m3/kg, ``S`` kJ/(kg K), ``H``, ``U`` kJ/kg, ``M`` mol/kg, ``a`` m/s
    (the equilibrium sound velocity), and the rest of the results table's parameters.
    ``composition`` maps the species present to their amounts in mol/kg;
    ``mole_fractions`` and ``mass_fractions`` give the same as fractions.  ``kind`` is
    "point", "throat" or "expansion"; ``message`` the program's notes on the point.
    Throat and expansion states of a rocket also carry the rocket figures
    (``Isp``, ``Isp_vac``, ``c_star``, ``Cf``, ``area_ratio``, ``Mach``).
    """

    __slots__ = ("kind", "values", "composition", "message", "_masses", "rocket_figures")

    def __init__(self, kind, values, composition, masses, message=""):
        self.kind = kind
        self.values = values
        self.composition = composition
        self._masses = masses
        self.message = message
        self.rocket_figures = None

    def __getattr__(self, name):
        values = object.__getattribute__(self, "values")
        if name in values:
            return values[name]
        figures = object.__getattribute__(self, "rocket_figures")
        if figures and name in figures:
            return figures[name]
        raise AttributeError(name)

    @property
    def mole_fractions(self):
        """Species -> mole fraction among all products (gas and condensed)."""
        total = sum(self.composition.values())
        return {k: v / total for k, v in self.composition.items()} if total > 0 else {}

    @property
    def mass_fractions(self):
        """Species -> mass fraction (amount x molar mass / 1000 g)."""
        return {k: v * self._masses[k] / 1000.0 for k, v in self.composition.items()}

    def as_dict(self):
        """The properties (and rocket figures) as one flat dictionary."""
        d = dict(self.values)
        if self.rocket_figures:
            d.update(self.rocket_figures)
        return d

    def __repr__(self):
        return (f"<kvil.State {self.kind}: p={self.p:.6g} MPa, T={self.T:.6g} K, "
                f"V={self.V:.6g} m3/kg, H={self.H:.6g} kJ/kg>")


def _state(prepared, result, row, message=""):
    kind = _KINDS.get(int(result["record_kind"][row]), "point")
    params = result["parameters"][row]
    values = {name: float(v) for name, v in zip(PARAMETERS, params)}
    if kind != "point":
        values["p"] = values["Pa"]
    amounts = result["amounts"][row]
    composition = {n: float(a) for n, a in zip(prepared.names, amounts) if a > 0}
    masses = dict(zip(prepared.names, prepared.molar_mass))
    return State(kind, values, composition, masses, message)


def _two_parameters(given):
    """The codes and values of exactly two assigned parameters: the first given is the
    program's first parameter, the second its second."""
    pairs = []
    for name, value in given.items():
        code = _CODES.get(name.lower())
        if code is None:
            raise InputError(f"Unknown parameter {name!r}: assign two of p, T, V, S, H, U.")
        if value is None:
            continue
        pairs.append((code, float(value)))
    codes = [c for c, _ in pairs]
    if len(set(codes)) != len(codes):
        raise InputError("Equilibrium must be specified by different parameters !")
    if len(pairs) != 2:
        raise InputError("Equilibrium is not specified !")
    return pairs[0], pairs[1]


def _point_message(result, i):
    return result["point_message"][i]


def _run_points(prepared, c1, c2, values, **kw):
    with translated():
        return prepared.calc.run(c1, c2, values, **kw)


def equilibrate(mixture, **kwargs):
    """The equilibrium of ``mixture`` at two assigned parameters.

    Give exactly two of ``p`` (MPa), ``T`` (K), ``V`` (m3/kg), ``S`` (kJ/(kg K)),
    ``H``, ``U`` (kJ/kg) as keywords; the first is the program's first parameter.  As in the program, ``H=0`` or ``U=0`` means the
    enthalpy of the components (``mixture.enthalpy``).

    Options: ``eos`` ("ideal", "virial", "kelmost", "bkw"; with "bkw" also ``bkw_set``,
    "BKWR" or "BKW-TNT"), ``ions`` (bool), ``species`` (the
    names that may form; default every candidate of the database), ``exclude`` (names
    left out), ``answer`` ("yes" or "no" to the program's questions), ``sound`` (the
    sound velocity and transport properties, default True), ``db`` (a
    :class:`Database` or its directory).

    Returns a :class:`State`; raises :class:`InputError` for input the program refuses
    and :class:`CalculationError` when no equilibrium is found.
    """
    options = _split_options(kwargs)
    (c1, v1), (c2, v2) = _two_parameters(kwargs)
    with _Borrowed(mixture, options) as prepared:
        result = _run_points(prepared, c1, c2, [(v1, v2)])
        if not result["point_ok"][0]:
            raise CalculationError(_point_message(result, 0) or "No equilibrium is found.")
        first = int(result["point_first_record"][0])
        return _state(prepared, result, first, _point_message(result, 0))


class Rocket:
    """Rocket performance of one chamber point: ``chamber``, ``throat`` (None without
    the throat) and ``exits`` (one :class:`State` per expansion value, with the rocket
    figures ``Isp`` (at the ambient pressure), ``Isp_vac``, ``c_star``, ``Cf``,
    ``area_ratio`` and ``Mach``; m/s where they have a unit)."""

    def __init__(self, chamber, throat, exits, message=""):
        self.chamber = chamber
        self.throat = throat
        self.exits = exits
        self.message = message

    @property
    def exit(self):
        """The last expansion state."""
        return self.exits[-1] if self.exits else None

    def __repr__(self):
        return f"<kvil.Rocket chamber {self.chamber!r}, {len(self.exits)} exit state(s)>"


def _rocket_from(prepared, result, i):
    first = int(result["point_first_record"][i])
    count = int(result["point_records"][i])
    message = _point_message(result, i)
    chamber = _state(prepared, result, first, message)
    throat = None
    exits = []
    chamber_params = list(result["parameters"][first])
    throat_params = []
    for row in range(first + 1, first + count):
        s = _state(prepared, result, row)
        if s.kind == "throat":
            throat = s
            throat_params = list(result["parameters"][row])
        else:
            exits.append(s)
        s.rocket_figures = _kvil.rocket_figures(list(result["parameters"][row]), chamber_params,
                                                throat_params, prepared.ambient_p)
    return Rocket(chamber, throat, exits, message)


def _as_list(values):
    if values is None:
        return []
    if isinstance(values, (int, float)):
        return [float(values)]
    return [float(v) for v in values]


def rocket(mixture, p, *, pe=None, area_ratio=None, Va=None, H=0.0, throat=True, frozen=False,
           **options):
    """Rocket performance: chamber at ``p`` (MPa) and ``H`` (kJ/kg; 0 = the enthalpy of
    the components), throat, and expansion to the exit pressures ``pe`` (MPa), the area
    ratios ``area_ratio`` (A/A_throat) or the volumes ``Va`` (m3/kg): one of them, a
    number or up to ten.  ``frozen``: the composition freezes at ``freezing_T`` (K;
    default that of the program's settings, 1500 K).  ``ambient_p`` (MPa) is the
    ambient pressure of ``Isp``.  Other options as for :func:`equilibrate`.
    Returns a :class:`Rocket`."""
    opts = _Options(**options)
    given = [(7, pe), (9, area_ratio), (8, Va)]
    given = [(code, _as_list(v)) for code, v in given if v is not None]
    if len(given) != 1:
        raise InputError("Give one of pe, area_ratio and Va.")
    code, values = given[0]
    with _Borrowed(mixture, opts) as prepared:
        result = _run_points(prepared, 1, 5, [(float(p), float(H))], expansion_code=code,
                             expansion_values=values, throat=throat, frozen=frozen)
        if not result["point_ok"][0]:
            raise CalculationError(_point_message(result, 0) or "No equilibrium is found.")
        return _rocket_from(prepared, result, 0)


def specific_impulse(mixture, p=4.0, H=0.0, pa=0.1, *, throat=True, frozen=False, **options):
    """The program's specific-impulse template: chamber at ``p`` (MPa) and ``H``
    (kJ/kg; 0 = the enthalpy of the components), expansion to ``pa`` (MPa).
    Returns a :class:`Rocket`."""
    opts = _Options(**options)
    with _Borrowed(mixture, opts) as prepared:
        with translated():
            result = prepared.calc.run_template(1, float(p), float(H), float(pa), throat, frozen)
        if not result["point_ok"][0]:
            raise CalculationError(_point_message(result, 0) or "No equilibrium is found.")
        return _rocket_from(prepared, result, 0)


def powder_force(mixture, p=300.0, U=0.0, **options):
    """The program's powder-force template: the state at ``p`` (MPa) and ``U`` (kJ/kg;
    0 = the enthalpy of the components).  Returns the :class:`State`; its ``FP`` is the
    powder force in kJ/kg."""
    opts = _Options(**options)
    with _Borrowed(mixture, opts) as prepared:
        with translated():
            result = prepared.calc.run_template(2, float(p), float(U), 0.0, False, False)
        if not result["point_ok"][0]:
            raise CalculationError(_point_message(result, 0) or "No equilibrium is found.")
        return _state(prepared, result, int(result["point_first_record"][0]),
                      _point_message(result, 0))


class HeatOfCombustion:
    """The heat of combustion ``q`` (kJ/kg) with the combustion ``state`` at (V, U)
    and the ``cooled`` state at the same V and 298 K."""

    def __init__(self, q, state, cooled):
        self.q = q
        self.state = state
        self.cooled = cooled

    def __float__(self):
        return float(self.q)

    def __repr__(self):
        return f"<kvil.HeatOfCombustion q={self.q:.3f} kJ/kg>"


def heat_of_combustion(mixture, V=0.01, U=0.0, *, frozen=False, **options):
    """The program's heat-of-combustion template at ``V`` (m3/kg) and ``U`` (kJ/kg;
    0 = the enthalpy of the components); with ``frozen`` the products are cooled with
    their composition frozen at ``freezing_T``.  Returns a :class:`HeatOfCombustion`."""
    opts = _Options(**options)
    with _Borrowed(mixture, opts) as prepared:
        with translated():
            result = prepared.calc.run_template(3, float(V), float(U), 0.0, False, frozen)
        heat = [h for h in result["point_heat"] if not math.isnan(h)]
        if not heat:
            messages = "\n".join(m for m in result["point_message"] if m)
            raise CalculationError(messages or "The heat of combustion cannot be calculated.")
        states = [_state(prepared, result, int(result["point_first_record"][i]))
                  for i in range(len(result["point_ok"])) if result["point_records"][i] > 0]
        return HeatOfCombustion(heat[-1], states[0] if states else None,
                                states[-1] if len(states) > 1 else None)


def _initial_density(rho0):
    """An initial density in g/cm3; None or "gas" is 0, the gas at p0 and T0."""
    if rho0 is None or (isinstance(rho0, str) and rho0.lower() == "gas"):
        return 0.0
    return float(rho0)


class Detonation:
    """The Chapman-Jouguet detonation of a mixture and the expansion of its products.

    Attributes, in the program's units: ``D`` (m/s), ``pCJ`` (MPa), ``TCJ`` (K),
    ``rhoCJ`` (g/cm3), ``VCJ`` (m3/kg), ``vCJ`` (V_CJ/V0), ``uCJ``, ``cCJ`` (m/s),
    ``gammaCJ`` (rho0 D^2/p_CJ - 1), ``UCJ``, ``HCJ`` (kJ/kg), ``SCJ`` (kJ/(kg K)), the
    initial state ``rho0`` (g/cm3), ``V0`` (m3/kg), ``p0`` (MPa), ``T0`` (K), ``E0``
    (kJ/kg); ``composition`` (species at CJ, mol/kg); ``energy`` and ``gurney`` (kJ/kg and
    m/s released to V/V0 = 2.2, 4 and 7.2); ``isentrope`` (tuples v = V/V0, p MPa, T K, U
    kJ/kg, frozen); ``jwl`` (A, B, C, E0 in GPa, R1, R2, omega, the fitted range and the
    largest relative deviation in p; None without a fit); ``hugoniot_residual`` and
    ``sound_check`` ((D - (u + c))/D), the program's checks of the CJ point.
    """

    def __init__(self, figures):
        self.__dict__.update(figures)
        self.composition = dict(figures["composition"])

    def __repr__(self):
        return (f"<kvil.Detonation rho0={self.rho0:.4g} g/cm3: D={self.D:.1f} m/s, "
                f"pCJ={self.pCJ:.1f} MPa, TCJ={self.TCJ:.1f} K>")


def detonation(mixture, rho0=None, *, p0=0.1, T0=298.15, frozen=False, expansion=True,
               eos="bkw", **options):
    """The detonation of ``mixture``: the Chapman-Jouguet state and, with ``expansion``,
    the CJ isentrope with its cylinder energies and JWL fit.

    ``rho0``: the initial density in g/cm3 (a condensed explosive or a mixture with
    condensed components), or None (or "gas") for a gaseous mixture at its ideal-gas
    density at ``p0`` (MPa) and ``T0`` (K).  ``eos``: "bkw" (default; ``bkw_set`` "BKWR"
    or "BKW-TNT") or "ideal" (gases).  ``frozen``: the composition freezes below
    ``freezing_T`` along the isentrope.  Other options as for :func:`equilibrate`; the
    BKW parameter sets were calibrated with a chosen set of products, which
    ``species=`` selects.  Returns a :class:`Detonation`; raises
    :class:`CalculationError` with the program's message when there is no CJ state.
    """
    opts = _Options(eos=eos, **options)
    density = _initial_density(rho0)
    if not (0 <= density <= _kvil.MAX_INITIAL_DENSITY):
        raise InputError("The initial density must be positive and at most "
                         f"{_kvil.MAX_INITIAL_DENSITY:g} g/cm3: {rho0}")
    with _Borrowed(mixture, opts) as prepared:
        with translated():
            figures = prepared.calc.detonate(density, float(p0), float(T0), bool(frozen),
                                             bool(expansion))
    return Detonation(figures)
