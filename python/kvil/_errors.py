"""Exceptions of the kvil package.  Each carries the program's own message."""

from contextlib import contextmanager

from . import _kvil


class Error(Exception):
    """A refusal or failure of the program; ``str(error)`` is the program's message."""


class InputError(Error, ValueError):
    """Input the program refuses: a formula, an amount, a value, a species name."""


class DatabaseError(Error):
    """The species database or the components library cannot be read."""


class CalculationError(Error):
    """A calculation that gave no result: no equilibrium found, a run refused."""


@contextmanager
def translated():
    """Turns the compiled layer's exceptions into the package's own."""
    try:
        yield
    except _kvil.InputError as e:
        raise InputError(str(e)) from None
    except _kvil.DatabaseError as e:
        raise DatabaseError(str(e)) from None
    except _kvil.CalculationError as e:
        raise CalculationError(str(e)) from None
