"""A task datafile run exactly as kvil-batch runs it."""

import io
import json
import os

from . import _kvil
from ._errors import InputError, DatabaseError, CalculationError, translated

_PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))


class TaskRun:
    """The outcome of :func:`run`.

    ``table``: the results table as a pandas DataFrame with the CSV's columns (the one
    ``kvil-batch --csv`` writes); ``report``: the text this run appended to the report
    TASK.txt; ``points``: every point of the run as ``kvil-batch --json`` writes it
    (dicts, failed points with their message); ``messages``: the program's messages,
    one line each; ``report_path``, ``table_path``: the files the run wrote.
    """

    def __init__(self, table, report, points, messages, report_path, table_path):
        self.table = table
        self.report = report
        self.points = points
        self.messages = messages
        self.report_path = report_path
        self.table_path = table_path

    def __repr__(self):
        return f"<kvil.TaskRun {len(self.table)} record(s), {len(self.points)} point line(s)>"


def run(datafile, *, db=None, cfg=None, answer="yes", fresh_start=False):
    """Runs a task datafile exactly as ``kvil-batch`` does, in the working directory:
    ``kvil.cfg`` there (or ``cfg``), the species database ``db`` (default: kvil.pth,
    then the database shipped with the package), the task's species list file.  The
    report TASK.txt beside the datafile is appended to and the results table TASK.rst
    written anew, as kvil-batch writes them.  Questions are answered by ``answer``.

    Returns a :class:`TaskRun`.  Raises :class:`InputError` or :class:`DatabaseError`
    (an unreadable file, kvil-batch's exit status 2) and :class:`CalculationError` (a
    run the program refused, status 1), with the program's messages."""
    import pandas as pd

    if answer not in ("yes", "no"):
        raise InputError("The answer must be yes or no.")
    # The shipped database is looked for beside the module, as kvil-batch looks beside
    # its executable.
    beside = os.path.join(_PACKAGE_DIR, "kvil")
    with translated():
        out = _kvil.run_batch(os.fspath(datafile), os.fspath(db) if db else "",
                              os.fspath(cfg) if cfg else "", answer, bool(fresh_start), beside)
    messages = list(out["messages"])
    if out["status"] == 2:
        text = "\n".join(messages) or f"Cannot run {datafile}."
        if "database" in text.lower():
            raise DatabaseError(text)
        raise InputError(text)
    if out["status"] != 0:
        raise CalculationError("\n".join(messages) or f"The run of {datafile} was refused.")
    csv = out["csv"]
    table = pd.read_csv(io.StringIO(csv), float_precision="round_trip") if csv else pd.DataFrame()
    points = [json.loads(line) for line in out["json"].splitlines() if line.strip()]
    report = out["report"].decode("latin-1")
    return TaskRun(table, report, points, messages, out["report_path"], out["table_path"])
