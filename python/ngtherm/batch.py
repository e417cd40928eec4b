"""Batch runs: one calculation per row of a pandas data frame or of a CSV or Parquet file.

Input columns: the composition, one column per component id (``CH4``, ``N2``,
...) in mol-% (an absent column is 0), ``T_K`` and ``p_MPa``. Output: every
input column, then the results named as the ``Gas`` method's attributes, then
``status`` (``OK``, ``FAILED`` or ``BAD_INPUT``) and ``message``.

Rows are grouped by composition, so each composition's ``Gas`` is prepared once
and its rows go through one vectorised call of the Python API.
"""

from __future__ import annotations

import collections
import concurrent.futures
import functools
import math
import multiprocessing
import os
import re
import sys
import threading
import time
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Callable, Dict, Iterator, List, Optional, Tuple

import numpy as np
import pandas as pd

from ._gas import _ROOTS, COMPONENTS, EXPORT_NAMES, PROPERTY_NAMES, Gas, status_meaning
from . import _core

if TYPE_CHECKING:
    import pyarrow as pa

TEMPERATURE, PRESSURE = "T_K", "p_MPa"
WHATS = ("state", "properties", "equilibrium", "flash")

# Row status (the ``status`` column).
OK = 0  #: computed in full
FAILED = 1  #: computed in part or not at all: the calculation's own status says which values are NaN
BAD_INPUT = 2  #: not computed: a value missing or not a number, a bad composition, T or p

# Rows per chunk of a file: a chunk's input and results stay well under 100 MB.
DEFAULT_CHUNK_ROWS = 50_000
# Prepared gases kept per process across chunks (files sorted by meter reuse them).
GAS_CACHE_SIZE = 4096
# Chunks in flight per worker process: enough to keep each busy, few enough to bound memory.
CHUNKS_PER_JOB = 2


class BatchError(Exception):
    """A file that cannot be read or written, or a required column that is missing."""


def _compositions(prefix: str) -> List[str]:
    return [f"{prefix}_{c}" for c in COMPONENTS]


_PHASE_VALUES = [f"{phase}_{name}" for phase in ("liquid", "vapour", "overall")
                 for name in PROPERTY_NAMES]
# Result columns and their pandas dtypes; the nullable integers are empty for rows not computed.
RESULT_COLUMNS: Dict[str, List[Tuple[str, str]]] = {
    "state": [(n, "float64") for n in PROPERTY_NAMES] + [("phase", "Int8")],
    "properties": [(n, "float64") for n in EXPORT_NAMES]
    + [(f"{n}_status", "Int16") for n in EXPORT_NAMES],
    "equilibrium": [("phases", "Int8"), ("beta", "float64")]
    + [(n, "float64") for n in _compositions("x") + _compositions("y") + _PHASE_VALUES]
    + [("liquid_molar_mass", "float64"), ("vapour_molar_mass", "float64")],
    "flash": [(n, "float64") for n in ("beta", "liquid_fraction", "liquid_content")]
    + [(n, "float64") for n in _compositions("x") + _compositions("y")],
}
ROW_COLUMNS = [("status", "int8"), ("message", "string")]


def output_columns(what: str) -> List[Tuple[str, str]]:
    """The columns a batch run adds for ``what``, with their pandas dtypes."""
    return RESULT_COLUMNS[_what(what)] + ROW_COLUMNS


def _what(what: str) -> str:
    if what not in WHATS:
        raise ValueError(f"what must be one of {', '.join(map(repr, WHATS))}, got {what!r}")
    return what


def check_columns(columns: List[str], what: str) -> List[str]:
    """The composition columns present; raises ValueError for a missing or clashing column."""
    missing = [c for c in (TEMPERATURE, PRESSURE) if c not in columns]
    if missing:
        raise ValueError(f"missing required column {' and '.join(missing)}")
    present = [c for c in COMPONENTS if c in columns]
    if not present:
        raise ValueError(f"no composition column (mol-% named {', '.join(COMPONENTS)})")
    clash = [name for name, _ in output_columns(what) if name in columns]
    if clash:
        raise ValueError(f"input column {clash[0]} would be overwritten by a result column")
    return present


# ---- the calculation over arrays -------------------------------------------------


@dataclass
class _Block:
    """n rows: T and p, result arrays by column, which rows were computed, status and message."""

    T: np.ndarray
    p: np.ndarray
    values: Dict[str, np.ndarray]
    computed: np.ndarray
    status: np.ndarray
    message: np.ndarray


def _numbers(column: pd.Series, name: str, message: np.ndarray) -> np.ndarray:
    """The column as float64; a missing or non-numeric value writes its row's message."""
    if column.dtype.kind in "fiu":
        values = column.to_numpy(dtype=np.float64, na_value=np.nan)
        missing = np.isnan(values)
    else:
        values = pd.to_numeric(column, errors="coerce").to_numpy(dtype=np.float64, na_value=np.nan)
        missing = column.isna().to_numpy()
    for i in np.flatnonzero(np.isnan(values)):
        if not message[i]:
            message[i] = (f"{name} is missing" if missing[i]
                          else f"{name} is not a number: {column.iloc[i]!r}")
    return values


def _unpack(what: str, r: Any) -> Dict[str, np.ndarray]:
    """A result object of the API as one array per result column."""
    if what == "state":
        out = {n: getattr(r, n) for n in PROPERTY_NAMES}
        out["phase"] = r.phase
        return out
    if what == "properties":
        out = {n: getattr(r, n) for n in EXPORT_NAMES}
        out.update({f"{n}_status": r.status[:, j] for j, n in enumerate(EXPORT_NAMES)})
        return out
    out = {"beta": r.beta}
    out.update({f"x_{c}": r.x[:, i] for i, c in enumerate(COMPONENTS)})
    out.update({f"y_{c}": r.y[:, i] for i, c in enumerate(COMPONENTS)})
    if what == "flash":
        out["liquid_fraction"], out["liquid_content"] = r.liquid_fraction, r.liquid_content
        return out
    out["phases"] = r.phases
    for phase in ("liquid", "vapour", "overall"):
        values = getattr(r, phase)
        out.update({f"{phase}_{n}": getattr(values, n) for n in PROPERTY_NAMES})
    out["liquid_molar_mass"], out["vapour_molar_mass"] = r.liquid_molar_mass, r.vapour_molar_mass
    return out


@functools.lru_cache(maxsize=None)
def _meaning(code: int) -> str:
    return f"{status_meaning(code)} (status {code})"


def _failures(what: str, gas: Gas, r: Any, options: Dict[str, Any]) -> Tuple[np.ndarray, List[str]]:
    """The rows of a result that are not computed in full, and why, in the API's words."""
    if what in ("properties", "flash"):
        codes = r.status.max(axis=1) if what == "properties" else r.status
        failed = np.flatnonzero(codes > 0)
        return failed, [_meaning(int(codes[i])) for i in failed]
    failed = np.flatnonzero(r.status != 0)
    if what == "state":
        root = _ROOTS[options.get("root", "stable")]
        return failed, [_core.state_message(gas._mixture, r.T[i], r.p[i], root)[1] for i in failed]
    return failed, [_core.equilibrium_message(gas._mixture, r.T[i], r.p[i])[1] for i in failed]


class _GasCache:
    """Prepared gases by composition, or the reason a composition is refused.

    Shared by the threads of a process (a Dask worker may run several partitions at once).
    """

    def __init__(self) -> None:
        self._gases: "collections.OrderedDict[bytes, Any]" = collections.OrderedDict()
        self._lock = threading.Lock()

    def get(self, names: Tuple[str, ...], percent: np.ndarray) -> Any:
        key = repr(names).encode() + percent.tobytes()
        with self._lock:
            if key in self._gases:
                self._gases.move_to_end(key)
                return self._gases[key]
            try:
                gas: Any = Gas(dict(zip(names, percent.tolist())))
            except ValueError as e:
                gas = str(e)
            self._gases[key] = gas
            if len(self._gases) > GAS_CACHE_SIZE:
                self._gases.popitem(last=False)
            return gas


_CACHE = _GasCache()
_ELEMENT = re.compile(r" \(element (\d+)\)$")


def _groups(percent: np.ndarray, rows: np.ndarray) -> Iterator[np.ndarray]:
    """The given rows split by composition, each group in input order."""
    if rows.size == 0:
        return
    row_bytes = np.dtype((np.void, percent.dtype.itemsize * percent.shape[1]))
    keys = np.ascontiguousarray(percent[rows]).view(row_bytes)
    _, inverse = np.unique(keys.ravel(), return_inverse=True)
    order = np.argsort(inverse, kind="stable")
    bounds = np.flatnonzero(np.diff(inverse[order])) + 1
    for part in np.split(order, bounds):
        yield rows[part]


def _calculate(
    what: str,
    T: np.ndarray,
    p: np.ndarray,
    names: Tuple[str, ...],
    percent: np.ndarray,
    message: np.ndarray,
    options: Dict[str, Any],
    workers: Optional[int],
) -> _Block:
    """Every row whose message is still empty, computed with one Gas per composition."""
    n = T.size
    block = _Block(
        T=T,
        p=p,
        values={name: np.full(n, np.nan) if dtype == "float64" else np.zeros(n, dtype.lower())
                for name, dtype in RESULT_COLUMNS[what]},
        computed=np.zeros(n, dtype=bool),
        status=np.zeros(n, dtype=np.int8),
        message=message,
    )
    good = np.array([not m for m in message], dtype=bool)
    for rows in _groups(percent, np.flatnonzero(good)):
        gas = _CACHE.get(names, percent[rows[0]])
        if isinstance(gas, str):
            message[rows] = gas
            continue
        # The API refuses a whole call, before computing anything, for the first
        # T or p outside its limits and names its element: that row gets the
        # reason, and the call goes on without it.
        pending = rows
        while pending.size:
            try:
                _store(block, what, gas, pending, options, workers)
                break
            except ValueError as e:
                found = _ELEMENT.search(str(e))
                if found is None:
                    raise
                bad = int(found.group(1))
                message[pending[bad]] = _ELEMENT.sub("", str(e))
                pending = np.delete(pending, bad)
    block.status[np.array([bool(m) for m in message], dtype=bool) & ~block.computed] = BAD_INPUT
    return block


def _store(block: _Block, what: str, gas: Gas, rows: np.ndarray, options: Dict[str, Any],
           workers: Optional[int]) -> None:
    r = getattr(gas, what)(block.T[rows], block.p[rows], workers=workers, **options)
    for name, values in _unpack(what, r).items():
        block.values[name][rows] = values
    block.computed[rows] = True
    failed, reasons = _failures(what, gas, r, options)
    block.status[rows[failed]] = FAILED
    block.message[rows[failed]] = reasons


def _prepare(frame: pd.DataFrame, what: str) -> Tuple[Any, ...]:
    """T, p, the composition columns present and their values, and the messages of bad values."""
    names = tuple(check_columns(list(frame.columns), what))
    message = np.full(len(frame), "", dtype=object)
    T = _numbers(frame[TEMPERATURE], TEMPERATURE, message)
    p = _numbers(frame[PRESSURE], PRESSURE, message)
    percent = np.empty((len(frame), len(names)))
    for j, name in enumerate(names):
        percent[:, j] = _numbers(frame[name], name, message)
    return T, p, names, percent, message


def _block_frame(what: str, block: _Block, index: Any = None) -> pd.DataFrame:
    columns: Dict[str, Any] = {}
    for name, dtype in RESULT_COLUMNS[what]:
        values = block.values[name]
        if dtype != "float64":
            values = pd.arrays.IntegerArray(values, ~block.computed)
        columns[name] = values
    columns["status"] = block.status
    columns["message"] = pd.array(block.message, dtype="string")
    return pd.DataFrame(columns, index=index)


def compute(
    df: pd.DataFrame,
    what: str = "properties",
    *,
    workers: Optional[int] = None,
    **options: Any,
) -> pd.DataFrame:
    """The data frame with the result columns of ``what`` appended, one row per input row.

    ``what`` is a ``Gas`` method: ``"state"``, ``"properties"``, ``"equilibrium"``
    or ``"flash"``; ``options`` go to it (``root``, ``phase``, ``range_set``).
    ``workers`` is the number of threads of each call, as in the API.
    """
    _what(what)
    T, p, names, percent, message = _prepare(df, what)
    block = _calculate(what, T, p, names, percent, message, options, workers)
    return pd.concat([df, _block_frame(what, block, df.index)], axis=1)


# ---- files ---------------------------------------------------------------------


def _format(path: str) -> str:
    lower = path.lower()
    if lower.endswith(".csv"):
        return "csv"
    if lower.endswith((".parquet", ".pq")):
        return "parquet"
    raise BatchError(f"{path}: unknown file type (expected .csv, .parquet or .pq)")


def _reader(path: str, chunk_rows: int) -> Tuple["pa.Schema", Iterator[Any], Optional[int]]:
    """The schema, the batches and (where known) the row count of an input file."""
    import pyarrow as pa
    import pyarrow.csv as pv
    import pyarrow.parquet as pq

    if _format(path) == "parquet":
        # Without pre-buffering: its cache keeps every row group read until the file is closed.
        f = pq.ParquetFile(path, pre_buffer=False)
        return f.schema_arrow, f.iter_batches(batch_size=chunk_rows), f.metadata.num_rows
    # Every column as text: a value that is not a number is a bad row, not a failed file.
    with pv.open_csv(path) as probe:
        names = probe.schema.names
    convert = pv.ConvertOptions(column_types={n: pa.string() for n in names},
                                strings_can_be_null=True)
    # A block of text of roughly chunk_rows rows of a typical file.
    read = pv.ReadOptions(block_size=max(1 << 20, min(chunk_rows * 128, 1 << 26)))
    reader = pv.open_csv(path, read_options=read, convert_options=convert)
    return reader.schema, iter(reader), None


def _chunk(what: str, batch: "pa.RecordBatch", options: Dict[str, Any]) -> "pa.RecordBatch":
    """The result columns of one chunk (with T, p and the composition as numbers), in a worker."""
    import pyarrow as pa

    frame = batch.to_pandas()
    T, p, names, percent, message = _prepare(frame, what)
    block = _calculate(what, T, p, names, percent, message, options, 1)
    arrays, fields = [], []
    for name, values in ((TEMPERATURE, T), (PRESSURE, p), *zip(names, percent.T)):
        arrays.append(pa.array(values, type=pa.float64()))
        fields.append(name)
    for name, dtype in RESULT_COLUMNS[what]:
        values = block.values[name]
        mask = None if dtype == "float64" else ~block.computed
        arrays.append(pa.array(values, mask=mask))
        fields.append(name)
    arrays += [pa.array(block.status), pa.array(block.message.tolist(), type=pa.string())]
    return pa.RecordBatch.from_arrays(arrays, names=fields + ["status", "message"])


def _output(batch: "pa.RecordBatch", results: "pa.RecordBatch") -> "pa.Table":
    """The input columns (those used as numbers replaced by the numbers), then the results."""
    import pyarrow as pa

    computed = set(results.schema.names)
    arrays = [results.column(n) if n in computed else batch.column(n) for n in batch.schema.names]
    names = list(batch.schema.names)
    for n in results.schema.names:
        if n not in batch.schema.names:
            arrays.append(results.column(n))
            names.append(n)
    return pa.Table.from_arrays(arrays, names=names)


class _Writer:
    """Writes tables of one schema to a scratch file, renamed to the output only when complete."""

    def __init__(self, path: str, dictionary: List[str]) -> None:
        self.path, self.kind, self.dictionary = path, _format(path), dictionary
        folder, name = os.path.split(os.path.abspath(path))
        self.scratch = os.path.join(folder, f".{name}.partial")
        self._writer: Any = None

    @property
    def started(self) -> bool:
        return self._writer is not None

    def write(self, table: "pa.Table") -> None:
        import pyarrow.csv as pv
        import pyarrow.parquet as pq

        if self._writer is None:
            self.schema = table.schema
            if self.kind == "parquet":
                # Dictionaries only for the copied columns (ids, names): the results' numbers
                # are all different, and trying costs three times the writing.
                self._writer = pq.ParquetWriter(self.scratch, self.schema,
                                                use_dictionary=self.dictionary)
            else:
                self._writer = pv.CSVWriter(self.scratch, self.schema)
        self._writer.write_table(table.cast(self.schema))

    def close(self, keep: bool) -> None:
        if self._writer is not None:
            self._writer.close()
        if keep:
            os.replace(self.scratch, self.path)
        elif os.path.exists(self.scratch):
            os.remove(self.scratch)


@dataclass
class Summary:
    rows: int
    failed: int
    bad_input: int
    seconds: float

    def __str__(self) -> str:
        rate = self.rows / self.seconds if self.seconds > 0 else math.inf
        return (f"{self.rows} rows, {self.failed} failed ({self.bad_input} with bad input), "
                f"{rate:,.0f} rows/s in {self.seconds:.1f} s")


def _in_order(chunks: Iterator[Any], payload: Callable, work: Callable,
              jobs: int) -> Iterator[Tuple[Any, Any]]:
    """(chunk, work(payload(chunk))) in input order; on worker processes once there are two chunks."""
    first = next(chunks, None)
    second = next(chunks, None) if first is not None else None
    if first is None:
        return
    if second is None or jobs <= 1:
        for chunk in _prepend(first, second, chunks):
            yield chunk, work(payload(chunk))
        return
    # spawn: nothing of the reader's threads is forked along, and the workers are
    # this process's children (their peak memory shows in its resource usage).
    context = multiprocessing.get_context("spawn")
    with concurrent.futures.ProcessPoolExecutor(jobs, mp_context=context) as pool:
        pending: "collections.deque" = collections.deque()
        for chunk in _prepend(first, second, chunks):
            pending.append((chunk, pool.submit(work, payload(chunk))))
            if len(pending) >= jobs * CHUNKS_PER_JOB:
                chunk, future = pending.popleft()
                yield chunk, future.result()
        while pending:
            chunk, future = pending.popleft()
            yield chunk, future.result()


def _prepend(first: Any, second: Any, rest: Iterator[Any]) -> Iterator[Any]:
    yield first
    if second is not None:
        yield second
        yield from rest


def default_jobs() -> int:
    """The cores this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


def run(
    source: str,
    target: str,
    what: str = "properties",
    *,
    jobs: Optional[int] = None,
    chunk_rows: int = DEFAULT_CHUNK_ROWS,
    progress: Optional[bool] = None,
    **options: Any,
) -> Summary:
    """Computes every row of a CSV or Parquet file into another, in chunks on ``jobs`` processes.

    The output is written to a scratch file beside the target and renamed when
    complete. Raises BatchError, before anything is written, for a file that
    cannot be read or a required column that is missing. The workers are started
    afresh (spawn): a script that calls this keeps its own work under
    ``if __name__ == "__main__":``, as with any use of multiprocessing.
    """
    import pyarrow as pa

    _what(what)
    _format(target)
    try:
        schema, batches, total = _reader(source, chunk_rows)
    except (OSError, ValueError) as e:  # pyarrow's ArrowInvalid is a ValueError
        raise BatchError(f"cannot read {source}: {_one_line(e)}") from None
    try:
        names = [TEMPERATURE, PRESSURE] + check_columns(schema.names, what)
    except ValueError as e:
        raise BatchError(f"{source}: {e}") from None

    def payload(batch: "pa.RecordBatch") -> "pa.RecordBatch":  # only what the calculation reads
        return pa.RecordBatch.from_arrays([batch.column(n) for n in names], names=names)

    bar = _progress(total, progress)
    start = time.perf_counter()
    summary = Summary(0, 0, 0, 0.0)
    writer = _Writer(target, dictionary=[n for n in schema.names if n not in names])
    done = False
    work = functools.partial(_chunk, what, options=options)
    try:
        chunks = _guarded(batches, source)
        for batch, results in _in_order(chunks, payload, work, jobs or default_jobs()):
            writer.write(_output(batch, results))
            status = results.column("status").to_numpy()
            summary.rows += batch.num_rows
            summary.failed += int(np.count_nonzero(status))
            summary.bad_input += int(np.count_nonzero(status == BAD_INPUT))
            if bar is not None:
                bar.update(batch.num_rows)
        if not writer.started:  # no rows: the columns alone
            empty = pa.RecordBatch.from_pylist([], schema=schema)
            writer.write(_output(empty, work(payload(empty))))
        done = True
    except OSError as e:
        raise BatchError(f"cannot write {target}: {_one_line(e)}") from None
    finally:
        if bar is not None:
            bar.close()
        writer.close(keep=done)
    summary.seconds = time.perf_counter() - start
    return summary


def _guarded(batches: Iterator[Any], source: str) -> Iterator[Any]:
    """The batches; a read error part way through is the input's error, not a write error."""
    try:
        yield from batches
    except (OSError, ValueError) as e:
        raise BatchError(f"cannot read {source}: {_one_line(e)}") from None


def _one_line(e: BaseException) -> str:
    return " ".join(str(e).split())


def _progress(total: Optional[int], wanted: Optional[bool]) -> Any:
    if wanted is None:
        wanted = sys.stderr.isatty()
    if not wanted:
        return None
    try:
        from tqdm import tqdm
    except ImportError:
        return None
    return tqdm(total=total, unit="rows", unit_scale=True, file=sys.stderr)
