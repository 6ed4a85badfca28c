"""The components library: real ingredients with their formula and enthalpy."""

import os
import threading
from collections import namedtuple

from . import _kvil
from ._errors import InputError, translated

#: One ingredient of the library: name, class, synonyms (';'-separated), formula,
#: enthalpy (kJ/kg), density (g/cm3) and the source of the numbers.
Component = namedtuple("Component", "name cls synonyms formula enthalpy density source")

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))
_lock = threading.Lock()
_loaded = {}


def _directory(directory):
    return os.path.abspath(
        directory or os.environ.get("KVIL_COMPONENTS") or os.path.join(_PACKAGE_DIR, "components"))


def _components(directory=None):
    d = _directory(directory)
    with _lock:
        if d not in _loaded:
            with translated():
                _loaded[d] = [Component(*row) for row in _kvil.load_components(d)]
        return _loaded[d]


def components_library(directory=None):
    """The components library as a pandas DataFrame (one row per ingredient).

    ``directory`` holds the library's Class.dat and Compons.dat (default: the tables
    shipped with the package, or the directory named by ``KVIL_COMPONENTS``)."""
    import pandas as pd

    return pd.DataFrame(_components(directory), columns=Component._fields)


def find_component(name, directory=None):
    """The ingredient called ``name`` (its name or one of its synonyms, without regard
    to case).  Raises :class:`InputError` when the library has none of that name."""
    wanted = name.strip().lower()
    rows = _components(directory)
    for c in rows:
        if c.name.lower() == wanted:
            return c
    for c in rows:
        if wanted in (s.strip().lower() for s in c.synonyms.split(";")):
            return c
    raise InputError(f"The components library has no component {name!r}.")
