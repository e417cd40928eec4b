"""Batch runs give, row by row and in input order, the Python API's values for the row's gas."""

import pathlib
import shlex
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import ngtherm
from ngtherm import batch
from ngtherm.__main__ import batch_main

ROOT = pathlib.Path(__file__).resolve().parents[2]
BATCH_COMMAND = pathlib.Path(sys.executable).with_name("ngtherm-batch")
SAMPLE = ROOT / "examples" / "batch_sample.csv"
# The sample's deliberately bad rows (examples/make_batch_sample.py): row -> (status, message start).
BAD_ROWS = {
    17: (2, "T_K is missing"),
    58: (2, "p_MPa is not a number: '4,5'"),
    101: (2, "mole percentages sum to 103.0, not 100"),
    160: (2, "temperature -20 K is outside the general limits"),
    233: (1, "temperature not above 60 K"),  # the exports answer it with their input check's status
}
RANGE_CHECKED = ("properties", "flash")


def bad_rows(what):
    """Row 233 (50 K) is a status of the exports, and bad input to the C++ calculations."""
    if what in RANGE_CHECKED:
        return BAD_ROWS
    return {**BAD_ROWS, 233: (2, "temperature 50 K is outside the general limits")}
C2H6 = ngtherm.COMPONENTS.index("C2H6")
# A few result columns of each calculation, as the API's result gives them.
API_COLUMNS = {
    "state": {"rho": lambda r: r.rho, "w": lambda r: r.w, "phase": lambda r: r.phase},
    "properties": {"Z": lambda r: r.Z, "K": lambda r: r.K, "h": lambda r: r.h, "jt": lambda r: r.jt,
                   "K_status": lambda r: r.status[:, 1], "jt_status": lambda r: r.status[:, 10]},
    "equilibrium": {"beta": lambda r: r.beta, "x_C2H6": lambda r: r.x[:, C2H6],
                    "overall_h": lambda r: r.overall.h, "phases": lambda r: r.phases},
    "flash": {"liquid_content": lambda r: r.liquid_content, "y_C2H6": lambda r: r.y[:, C2H6]},
}


def api_values(what):
    """Each column of API_COLUMNS[what] for every sample row, through Gas of the row's meter."""
    frame = pd.read_csv(SAMPLE)
    T, p = frame["T_K"].to_numpy(), pd.to_numeric(frame["p_MPa"], errors="coerce").to_numpy()
    out = {name: np.full(len(frame), np.nan) for name in API_COLUMNS[what]}
    for _, rows in frame.groupby("meter").groups.items():
        rows = [i for i in rows if bad_rows(what).get(i, (1,))[0] == 1]
        first = frame.loc[rows[0]]
        gas = ngtherm.Gas({c: first[c] for c in ngtherm.COMPONENTS if c in frame and first[c] > 0})
        result = getattr(gas, what)(T[rows], p[rows])
        for name, column in API_COLUMNS[what].items():
            out[name][rows] = column(result)
    return out


def assert_rows(result, what):
    assert len(result) == 300 and list(result["row"].astype(int)) == list(range(300))
    assert list(result["meter"][:5]) == ["M1-sample", "M2-rich", "M3-pipeline", "M4-hydrogen", "M5-sour"]
    for name, expected in api_values(what).items():
        np.testing.assert_array_equal(result[name].to_numpy(dtype=float, na_value=np.nan), expected)
    messages = result["message"].fillna("")
    bad = bad_rows(what)
    for row, (status, message) in bad.items():
        assert result["status"][row] == status and messages[row].startswith(message)
    good = ~result.index.isin(list(bad))
    assert (result["status"][good] == 0).all() and (messages[good] == "").all()


def run(*args, cwd=None):
    command = [sys.executable, "-m", "ngtherm", "batch"] if cwd else [BATCH_COMMAND]
    return subprocess.run(command + list(map(str, args)), cwd=cwd, capture_output=True, text=True)


@pytest.mark.parametrize("kind", ["csv", "parquet"])
def test_the_readme_example_and_its_parquet_twin_give_the_api_values_in_order(kind, tmp_path):
    if kind == "csv":  # the README's command as written, with the output moved to a scratch folder
        readme = (ROOT / "README.md").read_text(encoding="utf-8")
        line = next(ln for ln in readme.splitlines() if ln.startswith("python -m ngtherm batch "))
        args = shlex.split(line.split("#")[0])[4:]
        args[args.index("-o") + 1] = tmp_path / "out.csv"
        done = run(*args, cwd=ROOT)
    else:  # the sample as text in Parquet, in chunks of 64 rows on two processes, by the command
        pd.read_csv(SAMPLE, dtype=str).to_parquet(tmp_path / "in.parquet")
        done = run(tmp_path / "in.parquet", "-o", tmp_path / "out.parquet", "--jobs", "2", "--chunk-rows", "64")
    assert done.returncode == 0, done.stderr
    assert "300 rows, 5 failed (4 with bad input)" in done.stderr
    read = pd.read_csv if kind == "csv" else pd.read_parquet
    assert_rows(read(tmp_path / f"out.{kind}"), "properties")


@pytest.mark.parametrize("what", batch.WHATS)
def test_each_calculation_of_a_data_frame_gives_the_api_values_in_order(what):
    frame = pd.read_csv(SAMPLE)
    frame.index = frame.index * 3  # any index is kept
    result = batch.compute(frame, what)
    assert list(result.columns[: frame.shape[1]]) == list(frame.columns)
    assert_rows(result.reset_index(drop=True), what)


@pytest.mark.parametrize(
    "name, text, expected",
    [
        ("absent.csv", None, "cannot read"),
        ("broken.parquet", "T_K,p_MPa,CH4\n300,5,100\n", "cannot read"),
        ("no_pressure.csv", "T_K,CH4\n300,100\n", "missing required column p_MPa"),
        ("no_gas.csv", "T_K,p_MPa\n300,5\n", "no composition column"),
        ("clash.csv", "T_K,p_MPa,CH4,status\n300,5,100,1\n", "input column status would be overwritten"),
        ("states.txt", "T_K,p_MPa,CH4\n300,5,100\n", "unknown file type"),
    ],
)
def test_a_file_that_cannot_be_read_or_lacks_a_column_stops_before_writing(
    name, text, expected, tmp_path, capsys
):
    if text is not None:
        (tmp_path / name).write_text(text)
    assert batch_main([str(tmp_path / name), "-o", str(tmp_path / "out.csv")]) == 2
    stderr = capsys.readouterr().err
    assert stderr.count("\n") == 1 and expected in stderr, stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ([name] if text else [])


def test_dask_on_two_worker_processes_gives_the_pandas_numbers():
    dd = pytest.importorskip("dask.dataframe")
    distributed = pytest.importorskip("distributed")
    import ngtherm.dask
    frame = pd.read_csv(SAMPLE)
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        lazy = ngtherm.dask.compute(dd.from_pandas(frame, npartitions=4), what="equilibrium")
        assert list(lazy.columns) == list(batch.compute(frame.head(0), "equilibrium").columns)
        result = lazy.compute()
    pd.testing.assert_frame_equal(result, batch.compute(frame, "equilibrium"), check_dtype=False)
