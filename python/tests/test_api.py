import pathlib

import matplotlib
import numpy as np
import pytest

import ngtherm

matplotlib.use("Agg")

SAMPLE = {"CH4": 90, "C2H6": 5, "N2": 3, "CO2": 2}
DRY = {"CH4": 98, "N2": 1, "CO2": 0.5, "C2H6": 0.5}
RICH = {"CH4": 86, "C2H6": 6, "C3H8": 3, "nC4": 1.2, "iC4": 0.8, "nC5": 0.5, "N2": 2.5}


def test_arrays_broadcast_and_each_element_is_its_own_state():
    gas = ngtherm.Gas(SAMPLE)
    T, p = np.array([[250.0], [300.0], [350.0]]), np.array([1.0, 5.0])
    s = gas.state(T, p)
    assert s.rho.shape == s.phase.shape == s.status.shape == (3, 2)
    assert np.array_equal(s.T, np.broadcast_to(T, (3, 2)))
    assert s.rho[2, 0] == gas.state(350.0, 1.0).rho
    assert gas.properties(T, p).status.shape == (3, 2, 11)
    e = gas.equilibrium(300.0, p)
    assert e.x.shape == (2, 21) and e.beta.shape == (2,)
    frame = s.to_pandas()
    assert len(frame) == 6 and (frame["T"].iloc[1], frame["p"].iloc[1]) == (250.0, 5.0)


def test_percent_and_fractions_give_one_gas_and_mass_basis_is_molar_times_molar_mass():
    by_percent = ngtherm.Gas({"methane": 90, "ethane": 10})
    by_fraction = ngtherm.Gas.from_fractions({"CH4": 0.9, "C2H6": 0.1})
    s, t = by_percent.state(300.0, 5.0), by_fraction.state(300.0, 5.0)
    assert s.rho == pytest.approx(t.rho, rel=1e-15)
    M = by_percent.molar_mass
    assert M == pytest.approx(0.9 * 0.01604246 + 0.1 * 0.03006904, rel=1e-6)
    r = by_percent.properties(300.0, 5.0)
    assert float(r.rho) == pytest.approx(float(s.rho) * M * 1000.0, rel=1e-12)  # kg/m3
    assert float(r.h) == pytest.approx(float(s.h) / (M * 1000.0), rel=1e-12)  # kJ/kg
    assert float(r.w) == pytest.approx(float(s.w), rel=1e-12)  # m/s on both


@pytest.mark.parametrize(
    "call",
    [
        lambda: ngtherm.Gas({"CH4": 90, "unobtainium": 10}),
        lambda: ngtherm.Gas({"CH4": 90, "C2H6": 9.9}),
        lambda: ngtherm.Gas({"CH4": 101, "C2H6": -1}),
        lambda: ngtherm.Gas({"CH4": 90, "methane": 10}),
        lambda: ngtherm.Gas.from_fractions({"CH4": 90, "C2H6": 10}),
        lambda: ngtherm.Gas(SAMPLE).state([300.0, -1.0], 5.0),
        lambda: ngtherm.Gas(SAMPLE).equilibrium(300.0, [5.0, np.inf]),
        lambda: ngtherm.Gas(SAMPLE).flash([300.0, np.nan], 5.0),
        lambda: ngtherm.Gas(SAMPLE).state([250.0, 300.0], [1.0, 2.0, 3.0]),
        lambda: ngtherm.Gas(SAMPLE).state(300.0, 5.0, root="gas"),
        lambda: ngtherm.Gas(SAMPLE).state(300.0, 5.0, workers=0),
    ],
)
def test_bad_arguments_raise_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_a_bad_element_computes_nothing_and_names_itself():
    with pytest.raises(ValueError, match=r"temperature 50 K is outside the general limits.*\(element 2\)"):
        ngtherm.Gas(SAMPLE).state([300.0, 310.0, 50.0], 5.0)


def test_failed_states_are_nan_with_their_status_and_raise_on_request():
    rich, dry = ngtherm.Gas(RICH), ngtherm.Gas(DRY)
    water = ngtherm.Gas({"H2O": 100}).state(300.0, 1.0, root="vapour")  # no vapour at 1 MPa
    assert water.status == ngtherm.StateStatus.NO_SUCH_ROOT and np.isnan(water.rho)
    e = dry.equilibrium([69.3, 240.0], 1.0)  # the split does not converge far below methane's triple point
    assert list(e.status) == [ngtherm.EquilibriumStatus.SPLIT_FAILED, ngtherm.EquilibriumStatus.SUCCESS]
    assert np.isnan(e.beta[0]) and np.isnan(e.x[0]).all() and e.phases[0] == 0
    r = rich.properties([50.0, 300.0], 5.0)  # 50 K lies outside range set 0
    assert (r.status[0] > 0).all() and np.isnan(r.Z[0]) and (r.status[1] <= 0).all()
    assert "temperature" in ngtherm.status_meaning(int(r.status[0, 0])).lower()
    with pytest.raises(ngtherm.CalculationError, match="split|stability|density"):
        dry.equilibrium([240.0, 69.3], 1.0, errors="raise")
    with pytest.raises(ngtherm.CalculationError, match=r"status"):
        rich.properties([300.0, 50.0], 5.0, errors="raise")


def test_results_do_not_depend_on_the_number_of_workers():
    rich = ngtherm.Gas(RICH)
    T, p = np.linspace(150.0, 300.0, 40)[:, None], np.linspace(0.5, 10.0, 25)
    one = rich.equilibrium(T, p, workers=1)
    for workers in (2, 3):
        other = rich.equilibrium(T, p, workers=workers)
        for a, b in ((one.beta, other.beta), (one.x, other.x), (one.overall.h, other.overall.h)):
            assert np.array_equal(a.view(np.uint64), b.view(np.uint64))
    assert set(np.unique(one.phases)) == {1, 2}


def test_the_readme_quick_start_runs_as_written(tmp_path, monkeypatch):
    readme = pathlib.Path(__file__).resolve().parents[2] / "README.md"
    text = readme.read_text(encoding="utf-8")
    code = text.split("## Python", 1)[1].split("```python\n", 1)[1].split("```", 1)[0]
    monkeypatch.chdir(tmp_path)
    exec(compile(code, "README quick start", "exec"), {})
    assert (tmp_path / "envelope.png").stat().st_size > 0
