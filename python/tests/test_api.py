import pathlib

import matplotlib
import numpy as np
import pytest

import ngtherm

matplotlib.use("Agg")

SAMPLE = {"CH4": 90, "C2H6": 5, "N2": 3, "CO2": 2}
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


def test_percent_and_fractions_give_one_gas_of_the_named_components():
    by_percent = ngtherm.Gas({"methane": 90, "ethane": 10})
    by_fraction = ngtherm.Gas.from_fractions({"CH4": 0.9, "C2H6": 0.1})
    assert by_percent.state(300.0, 5.0).rho == pytest.approx(by_fraction.state(300.0, 5.0).rho, rel=1e-15)
    assert by_percent.molar_mass == pytest.approx(0.9 * 0.01604246 + 0.1 * 0.03006904, rel=1e-6)


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


# NaN and the status of each failed state: test_cxx_identity.py.
def test_failed_states_raise_on_request_and_their_status_has_a_meaning():
    rich = ngtherm.Gas(RICH)
    assert "temperature" in ngtherm.status_meaning(int(rich.properties(50.0, 5.0).status[0])).lower()
    wet = ngtherm.Gas({"CH4": 89.995, "C2H6": 5, "C3H8": 2, "N2": 2, "CO2": 1, "H2O": 0.005})
    with pytest.raises(ngtherm.CalculationError, match=r"no liquid water .*\(T = 220\.0 K, p = 0\.1 MPa\)"):
        wet.equilibrium([240.0, 220.0], 0.1, errors="raise")  # the model's liquid water ends near 228 K
    with pytest.raises(ngtherm.CalculationError, match=r"status"):
        rich.properties([300.0, 50.0], 5.0, errors="raise")  # 50 K lies outside range set 0


def test_the_readme_quick_start_runs_as_written(tmp_path, monkeypatch):
    readme = pathlib.Path(__file__).resolve().parents[2] / "README.md"
    text = readme.read_text(encoding="utf-8")
    code = text.split("## Python", 1)[1].split("```python\n", 1)[1].split("```", 1)[0]
    monkeypatch.chdir(tmp_path)
    exec(compile(code, "README quick start", "exec"), {})
    assert (tmp_path / "envelope.png").stat().st_size > 0


def test_saturation_points_come_with_their_branches_and_the_water_dew_point_with_its_own():
    gas = ngtherm.Gas(SAMPLE)
    dew_bubble = gas.saturation(p=5.0)
    assert dew_bubble.status == "converged" and dew_bubble.branch == ("upper", "lower")
    np.testing.assert_allclose(dew_bubble.T, [203.2536163, 195.9147141], atol=1e-6)
    assert (dew_bubble.residual <= 1e-10).all() and np.allclose(dew_bubble.incipient.sum(axis=1), 1.0)
    assert gas.saturation(point="cricondentherm").branch == ("",)
    wet = ngtherm.Gas({"CH4": 89.995, "C2H6": 5, "C3H8": 2, "N2": 2, "CO2": 1, "H2O": 0.005})
    water = wet.saturation(p=4.0, water=True)
    assert water.branch == ("water",) and abs(water.T[0] - 253.2475) < 1e-4
    assert "water dew line" in [line.get_label() for line in wet.envelope().plot().get_lines()]
    assert gas.saturation(p=50.0).status == "no_point"
    with pytest.raises(ngtherm.CalculationError, match="no point"):
        gas.saturation(p=50.0, errors="raise")
    for bad in ({"p": 5.0, "T": 200.0}, {}, {"point": "cricondenbar", "water": True}, {"point": "dew"}):
        with pytest.raises(ValueError):
            gas.saturation(**bad)
