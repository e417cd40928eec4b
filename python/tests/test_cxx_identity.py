"""Every result of the package equals the C++ API's result for the same state, bit for bit.

The C++ side is a separate program (reference.cpp) built by the C++ build, not
by pip: it calls the C++ API one state at a time on one thread and prints every
field exactly. This side calls the package over 2-D broadcast arrays on two or
five workers (so no result depends on their number) and applies only the
documented mapping (NaN for failed states, the C interface's mol-% as mole
fractions in model order), written out here again from the header's order of
the C interface rather than taken from the package.
"""

import subprocess

import numpy as np
import pytest

import ngtherm

# The C interface's component order, as include/ngtherm/properties.hpp lists it.
C_ORDER = ("CH4", "N2", "CO2", "C2H6", "C3H8", "nC4", "iC4", "nC5", "iC5", "nC6", "nC7",
           "nC8", "nC9", "nC10", "He", "Ar", "H2", "O2", "CO", "H2O", "H2S")
C_POSITION = np.array([C_ORDER.index(c) for c in ngtherm.COMPONENTS])

GASES = {
    "sample": ("percent", {"CH4": 90, "C2H6": 5, "N2": 3, "CO2": 2}),
    "rich": ("percent", {"CH4": 86, "C2H6": 6, "C3H8": 3, "nC4": 1.2, "iC4": 0.8, "nC5": 0.5,
                         "N2": 2.5}),
    "co2": ("fraction", {"carbon dioxide": 0.95, "nitrogen": 0.05}),
    "wet": ("percent", {"CH4": 50, "H2O": 50}),
}
# From 61 K and 0.1 kPa, where splits fail, through the two-phase region to
# 1000 MPa: 144 states of each gas.
T = np.geomspace(61.0, 2000.0, 80)[[0, 10, 12, 20, 34, 41, 45, 48, 52, 55, 60, 70]][:, None]
P = np.geomspace(1e-4, 1000.0, 80)[[0, 20, 30, 38, 42, 45, 48, 50, 52, 55, 70, 79]][None, :]
TT, PP = np.broadcast_arrays(T, P)


def make_gas(unit, amounts):
    return ngtherm.Gas(amounts) if unit == "percent" else ngtherm.Gas.from_fractions(amounts)


def ask(program, lines):
    out = subprocess.run([program], input="\n".join(lines) + "\n", capture_output=True, text=True,
                         check=True).stdout.splitlines()
    assert len(out) == len(lines)
    return [line.split()[1:] for line in out]


def columns(rows, start, stop=None, parse=float.fromhex):
    """Columns start:stop of the reference's rows, shaped as the grid; numbers are exact hex floats."""
    return np.array([[parse(v) for v in r[start:stop]] for r in rows]).reshape(TT.shape + (-1,))


PHASE_FIELDS = ("rho", "Z", "u", "h", "s", "cv", "cp", "w", "kappa", "jt")


def points(kind, *extra):
    return [" ".join([kind, t.hex(), p.hex(), *map(str, extra)])
            for t, p in zip(TT.ravel().tolist(), PP.ravel().tolist())]


def assert_same(actual, expected):
    actual, expected = np.asarray(actual, dtype=np.float64), np.asarray(expected, dtype=np.float64)
    assert actual.shape == expected.shape
    nan = np.isnan(expected)
    assert np.array_equal(np.isnan(actual), nan)
    # Bits, not values: -0.0 and 0.0 differ, and so would the last bit of any result.
    assert np.array_equal(actual[~nan].view(np.uint64), expected[~nan].view(np.uint64))


@pytest.fixture(scope="module", params=sorted(GASES))
def case(request, reference_program):
    unit, amounts = GASES[request.param]
    gas = make_gas(unit, amounts)
    given = gas.percent if unit == "percent" else gas.fractions
    head = "gas " + unit + " " + " ".join(v.hex() for v in given.tolist())
    def run(lines):
        return ask(reference_program, [head] + lines)[1:]
    return gas, run


def test_states_equal_the_cxx_single_phase_states(case):
    gas, run = case
    for root, code in (("liquid", 0), ("vapour", 1), ("stable", 2)):
        s = gas.state(T, P, root=root, workers=2)
        ref = run(points("state", code))
        status, side, values = columns(ref, 0, 1, int)[..., 0], columns(ref, 1, 2, int)[..., 0], columns(ref, 2)
        no_root = np.isin(status, (ngtherm.StateStatus.NO_DENSITY, ngtherm.StateStatus.NO_SUCH_ROOT))
        values[no_root] = np.nan
        assert np.array_equal(s.status, status)
        assert np.array_equal(s.phase, np.where(no_root, -1, side))
        for k, name in enumerate(PHASE_FIELDS):
            assert_same(getattr(s, name), values[..., k])


def test_equilibria_equal_the_cxx_equilibrium_states(case):
    gas, run = case
    e = gas.equilibrium(T, P, workers=5)  # unequal shares of the 144 states
    ref = run(points("equilibrium"))
    failed, phases, values = columns(ref, 0, 1, int)[..., 0] != 0, columns(ref, 1, 2, int)[..., 0], columns(ref, 2)
    values[failed] = np.nan
    assert np.array_equal(e.status, failed.astype(np.int8))
    assert np.array_equal(e.phases, np.where(failed, 0, phases))
    assert_same(e.beta, values[..., 0])
    assert_same(e.x, values[..., 1:22])
    assert_same(e.y, values[..., 22:43])
    for i, phase in enumerate((e.liquid, e.vapour, e.overall)):
        for k, name in enumerate(PHASE_FIELDS):
            assert_same(getattr(phase, name), values[..., 43 + 10 * i + k])
    assert_same(e.liquid_molar_mass, values[..., 73])
    assert_same(e.vapour_molar_mass, values[..., 74])


def test_properties_equal_the_cxx_export_properties(case):
    gas, run = case
    for phase, selector in (("overall", 0), ("liquid", 1), ("vapour", 2)):
        r = gas.properties(T, P, phase=phase, range_set=1, workers=2)
        ref = run(points("properties", selector, 1))
        values, status = columns(ref, 0, 11), columns(ref, 11, None, int)
        values[status > 0] = np.nan
        assert np.array_equal(r.status, status)
        for k, name in enumerate(("Z", "K", "rho", "u", "h", "s", "cv", "cp", "w", "kappa", "jt")):
            assert_same(getattr(r, name), values[..., k])


def test_flash_equals_the_cxx_flash(case):
    gas, run = case
    f = gas.flash(T, P, workers=2)
    ref = run(points("flash", 0))
    status, values = columns(ref, 0, 1, int)[..., 0], columns(ref, 1)
    values[status > 0] = np.nan
    assert np.array_equal(f.status, status)
    assert_same(f.beta, values[..., 0])
    assert_same(f.liquid_fraction, values[..., 1])
    assert_same(f.liquid_content, values[..., 2])
    assert_same(f.x, values[..., 3:24][..., C_POSITION] / 100.0)
    assert_same(f.y, values[..., 24:45][..., C_POSITION] / 100.0)


def test_the_compared_states_include_failures_and_splits():
    gases = [make_gas(*GASES[name]) for name in sorted(GASES)]
    states = np.concatenate([g.state(T, P, root="vapour").status for g in gases])
    equilibria = [g.equilibrium(T, P) for g in gases]
    assert (states == ngtherm.StateStatus.NO_SUCH_ROOT).any()
    assert any((e.status == ngtherm.EquilibriumStatus.SPLIT_FAILED).any() for e in equilibria)
    assert any((e.phases == 2).any() for e in equilibria)
    assert any((g.flash(T, P).status > 54).any() for g in gases)
    assert any((g.properties(T, P).status > 182).any() for g in gases)
